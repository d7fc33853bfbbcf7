#include "libanalyzer/analyzersettinginterface.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {

// Strict decimal integer: optional '-', digits only, within [lo, hi].
bool parseInt(const std::string& s, long long lo, long long hi, long long* out)
{
    if (s.empty() || s.size() > 20)
        return false;
    size_t i = s[0] == '-' ? 1 : 0;
    if (i == s.size())
        return false;
    for (size_t k = i; k < s.size(); ++k)
        if (s[k] < '0' || s[k] > '9')
            return false;
    errno = 0;
    char* end = nullptr;
    long long v = std::strtoll(s.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || v < lo || v > hi)
        return false;
    *out = v;
    return true;
}

bool isUnreserved(unsigned char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-'
        || c == '.' || c == '_' || c == '~';
}

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Percent-encoding keeps the settings text free of the separators the host
// and this library use (',', '=', ';') and of blanks the host trims.
std::string encodeText(const std::string& s)
{
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : s) {
        if (isUnreserved(c)) {
            out += char(c);
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

bool decodeText(const std::string& s, std::string* out)
{
    std::string r;
    for (size_t i = 0; i < s.size(); ++i) {
        unsigned char c = (unsigned char)s[i];
        if (c == '%') {
            if (i + 2 >= s.size())
                return false;
            int h = hexDigit(s[i + 1]), l = hexDigit(s[i + 2]);
            if (h < 0 || l < 0)
                return false;
            char v = char(h * 16 + l);
            if (v == '\0')
                return false;
            r += v;
            i += 2;
        } else if (isUnreserved(c)) {
            r += char(c);
        } else {
            return false;
        }
        if (r.size() > AnalyzerSettingInterfaceText::kMaxLength)
            return false;
    }
    *out = r;
    return true;
}

std::string formatDouble(double v)
{
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.17g", v);
    return buf;
}

}  // namespace

AnalyzerSettingInterface::AnalyzerSettingInterface(const char* key) : key_(key ? key : "") {}

AnalyzerSettingInterface::~AnalyzerSettingInterface() = default;

void AnalyzerSettingInterface::SetTitleAndTooltip(const char* title, const char* toolTip)
{
    title_ = title ? title : "";
    toolTip_ = toolTip ? toolTip : "";
}

// ---- channel ----

AnalyzerSettingInterfaceChannel::AnalyzerSettingInterfaceChannel(const char* key)
    : AnalyzerSettingInterface(key)
{
}

bool AnalyzerSettingInterfaceChannel::CheckEdited(U32 channelLimit) const
{
    if (!edited_.IsDefined())
        return noneAllowed_;
    return edited_.index < channelLimit;
}

bool AnalyzerSettingInterfaceChannel::ParseEdited(const std::string& text, U32 channelLimit)
{
    Channel c;
    if (text == "none") {
        if (!noneAllowed_)
            return false;
    } else {
        long long v;
        if (text.empty() || text[0] == '-' || !parseInt(text, 0, (long long)channelLimit - 1, &v))
            return false;
        c = Channel(0, U32(v));
    }
    edited_ = c;
    return true;
}

static std::string formatChannel(const Channel& c)
{
    return c.IsDefined() ? std::to_string(c.index) : std::string("none");
}

std::string AnalyzerSettingInterfaceChannel::FormatEdited() const
{
    return formatChannel(edited_);
}

void AnalyzerSettingInterfaceChannel::RestoreEdited(const std::string& text)
{
    edited_ = text == "none" ? Channel() : Channel(0, U32(std::strtoul(text.c_str(), nullptr, 10)));
}

std::string AnalyzerSettingInterfaceChannel::FormatApplied() const
{
    return formatChannel(applied_);
}

// ---- number list ----

AnalyzerSettingInterfaceNumberList::AnalyzerSettingInterfaceNumberList(const char* key)
    : AnalyzerSettingInterface(key)
{
}

void AnalyzerSettingInterfaceNumberList::AddNumber(double number, const char* text, const char* toolTip)
{
    entries_.push_back({number, text ? text : "", toolTip ? toolTip : ""});
    if (entries_.size() == 1)
        edited_ = applied_ = number;
}

const char* AnalyzerSettingInterfaceNumberList::GetListboxString(unsigned index) const
{
    return index < entries_.size() ? entries_[index].text.c_str() : "";
}

const char* AnalyzerSettingInterfaceNumberList::GetListboxTooltip(unsigned index) const
{
    return index < entries_.size() ? entries_[index].toolTip.c_str() : "";
}

double AnalyzerSettingInterfaceNumberList::GetListboxNumber(unsigned index) const
{
    return index < entries_.size() ? entries_[index].number : 0.0;
}

int AnalyzerSettingInterfaceNumberList::indexOf(double number) const
{
    for (size_t i = 0; i < entries_.size(); ++i) {
        double e = entries_[i].number;
        if (std::fabs(e - number) <= 1e-9 * std::fmax(1.0, std::fabs(e)))
            return int(i);
    }
    return -1;
}

bool AnalyzerSettingInterfaceNumberList::CheckEdited(U32) const
{
    return indexOf(edited_) >= 0;
}

bool AnalyzerSettingInterfaceNumberList::ParseEdited(const std::string& text, U32)
{
    if (text.size() > 32)
        return false;
    for (char c : text)
        if (!((c >= '0' && c <= '9') || c == '-' || c == '+' || c == '.' || c == 'e' || c == 'E'))
            return false;
    char* end = nullptr;
    double v = std::strtod(text.c_str(), &end);
    if (text.empty() || *end != '\0' || !std::isfinite(v))
        return false;
    int i = indexOf(v);
    if (i < 0)
        return false;
    edited_ = entries_[size_t(i)].number;
    return true;
}

std::string AnalyzerSettingInterfaceNumberList::FormatEdited() const
{
    return formatDouble(edited_);
}

void AnalyzerSettingInterfaceNumberList::RestoreEdited(const std::string& text)
{
    edited_ = std::strtod(text.c_str(), nullptr);
}

std::string AnalyzerSettingInterfaceNumberList::FormatApplied() const
{
    return formatDouble(applied_);
}

// ---- integer ----

AnalyzerSettingInterfaceInteger::AnalyzerSettingInterfaceInteger(const char* key)
    : AnalyzerSettingInterface(key)
{
}

bool AnalyzerSettingInterfaceInteger::CheckEdited(U32) const
{
    return edited_ >= min_ && edited_ <= max_;
}

bool AnalyzerSettingInterfaceInteger::ParseEdited(const std::string& text, U32)
{
    long long v;
    if (!parseInt(text, min_, max_, &v))
        return false;
    edited_ = int(v);
    return true;
}

std::string AnalyzerSettingInterfaceInteger::FormatEdited() const
{
    return std::to_string(edited_);
}

void AnalyzerSettingInterfaceInteger::RestoreEdited(const std::string& text)
{
    edited_ = int(std::strtol(text.c_str(), nullptr, 10));
}

std::string AnalyzerSettingInterfaceInteger::FormatApplied() const
{
    return std::to_string(applied_);
}

// ---- text ----

AnalyzerSettingInterfaceText::AnalyzerSettingInterfaceText(const char* key)
    : AnalyzerSettingInterface(key)
{
}

bool AnalyzerSettingInterfaceText::CheckEdited(U32) const
{
    return edited_.size() <= kMaxLength;
}

bool AnalyzerSettingInterfaceText::ParseEdited(const std::string& text, U32)
{
    std::string v;
    if (!decodeText(text, &v))
        return false;
    edited_ = v;
    return true;
}

std::string AnalyzerSettingInterfaceText::FormatEdited() const
{
    return encodeText(edited_);
}

void AnalyzerSettingInterfaceText::RestoreEdited(const std::string& text)
{
    std::string v;
    if (decodeText(text, &v))
        edited_ = v;
}

std::string AnalyzerSettingInterfaceText::FormatApplied() const
{
    return encodeText(applied_);
}

// ---- bool ----

AnalyzerSettingInterfaceBool::AnalyzerSettingInterfaceBool(const char* key)
    : AnalyzerSettingInterface(key)
{
}

bool AnalyzerSettingInterfaceBool::CheckEdited(U32) const
{
    return true;
}

bool AnalyzerSettingInterfaceBool::ParseEdited(const std::string& text, U32)
{
    if (text != "0" && text != "1")
        return false;
    edited_ = text == "1";
    return true;
}

std::string AnalyzerSettingInterfaceBool::FormatEdited() const
{
    return edited_ ? "1" : "0";
}

void AnalyzerSettingInterfaceBool::RestoreEdited(const std::string& text)
{
    edited_ = text == "1";
}

std::string AnalyzerSettingInterfaceBool::FormatApplied() const
{
    return applied_ ? "1" : "0";
}
