#include "libanalyzer/analyzersettings.h"

namespace {
thread_local std::string tlsText;

std::string trimmed(const char* s)
{
    std::string t(s);
    size_t b = 0, e = t.size();
    while (b < e && (t[b] == ' ' || t[b] == '\t' || t[b] == '\r' || t[b] == '\n'))
        ++b;
    while (e > b && (t[e - 1] == ' ' || t[e - 1] == '\t' || t[e - 1] == '\r' || t[e - 1] == '\n'))
        --e;
    return t.substr(b, e - b);
}

std::vector<std::string> split(const std::string& s, char sep)
{
    std::vector<std::string> out;
    size_t start = 0;
    for (;;) {
        size_t p = s.find(sep, start);
        out.push_back(s.substr(start, p == std::string::npos ? std::string::npos : p - start));
        if (p == std::string::npos)
            return out;
        start = p + 1;
    }
}
}  // namespace

AnalyzerSettings::AnalyzerSettings(const char* textTag) : tag_(textTag ? textTag : "") {}

AnalyzerSettings::~AnalyzerSettings() = default;

AnalyzerSettingInterface* AnalyzerSettings::GetSettingsInterface(unsigned index) const
{
    return index < interfaces_.size() ? interfaces_[index] : nullptr;
}

unsigned AnalyzerSettings::GetChannelsCount() const
{
    unsigned n = 0;
    for (const AnalyzerSettingInterface* s : interfaces_)
        if (s->GetKind() == AnalyzerSettingInterface::KindChannel)
            ++n;
    return n;
}

void AnalyzerSettings::AddInterface(AnalyzerSettingInterface* setting)
{
    if (setting)
        interfaces_.push_back(setting);
}

void AnalyzerSettings::AddExportOption(unsigned id, const char* name)
{
    exports_.push_back({id, name ? name : "", {}});
}

void AnalyzerSettings::AddExportExtension(unsigned id, const char* extensionName, const char* extension)
{
    for (ExportOption& o : exports_)
        if (o.id == id)
            o.extensions.push_back({extensionName ? extensionName : "", extension ? extension : ""});
}

bool AnalyzerSettings::GetExportOption(unsigned index, unsigned* id, const char** name) const
{
    if (index >= exports_.size())
        return false;
    if (id)
        *id = exports_[index].id;
    if (name)
        *name = exports_[index].name.c_str();
    return true;
}

unsigned AnalyzerSettings::GetFileExtensionCount(unsigned id) const
{
    for (const ExportOption& o : exports_)
        if (o.id == id)
            return unsigned(o.extensions.size());
    return 0;
}

bool AnalyzerSettings::GetFileExtension(unsigned id, unsigned index, const char** extensionName,
                                        const char** extension) const
{
    for (const ExportOption& o : exports_) {
        if (o.id != id || index >= o.extensions.size())
            continue;
        if (extensionName)
            *extensionName = o.extensions[index].name.c_str();
        if (extension)
            *extension = o.extensions[index].ext.c_str();
        return true;
    }
    return false;
}

bool AnalyzerSettings::CheckInterfaces(std::string*) const
{
    return true;
}

bool AnalyzerSettings::checkAll(std::string* error) const
{
    std::vector<U32> used;
    for (const AnalyzerSettingInterface* s : interfaces_) {
        if (!s->CheckEdited(channelLimit_)) {
            if (s->GetKind() == AnalyzerSettingInterface::KindChannel)
                *error = std::string("Please choose a channel for ") + s->GetTitle() + ".";
            else
                *error = std::string("The value of ") + s->GetTitle() + " is not valid.";
            return false;
        }
        if (s->GetKind() == AnalyzerSettingInterface::KindChannel) {
            Channel c = static_cast<const AnalyzerSettingInterfaceChannel*>(s)->GetChannel();
            if (!c.IsDefined())
                continue;
            for (U32 u : used) {
                if (u == c.index) {
                    *error = "Please choose a different channel for each input.";
                    return false;
                }
            }
            used.push_back(c.index);
        }
    }
    return CheckInterfaces(error);
}

void AnalyzerSettings::applyAll()
{
    for (AnalyzerSettingInterface* s : interfaces_)
        s->Apply();
}

bool AnalyzerSettings::ApplyInterfaces()
{
    std::string err;
    if (!checkAll(&err)) {
        error_ = err;
        return false;
    }
    error_.clear();
    applyAll();
    return true;
}

const char* AnalyzerSettings::SaveToText() const
{
    tlsText = tag_;
    tlsText += ",1";
    for (const AnalyzerSettingInterface* s : interfaces_) {
        tlsText += ',';
        tlsText += s->GetKey();
        tlsText += '=';
        tlsText += s->FormatApplied();
    }
    return tlsText.c_str();
}

bool AnalyzerSettings::LoadFromText(const char* text)
{
    if (!text)
        return false;
    size_t len = 0;
    while (text[len] && len <= kMaxTextLength)
        ++len;
    if (len > kMaxTextLength)
        return false;
    std::vector<std::string> fields = split(trimmed(text), ',');
    if (fields.size() < 2 || fields[0] != tag_ || fields[1] != "1")
        return false;

    std::vector<std::string> backup;
    backup.reserve(interfaces_.size());
    for (const AnalyzerSettingInterface* s : interfaces_)
        backup.push_back(s->FormatEdited());
    auto restore = [&]() {
        for (size_t i = 0; i < interfaces_.size(); ++i)
            interfaces_[i]->RestoreEdited(backup[i]);
    };

    std::vector<bool> seen(interfaces_.size(), false);
    for (size_t f = 2; f < fields.size(); ++f) {
        const std::string& kv = fields[f];
        size_t eq = kv.find('=');
        if (eq == std::string::npos || eq == 0 || kv.find('=', eq + 1) != std::string::npos) {
            restore();
            return false;
        }
        std::string key = kv.substr(0, eq), value = kv.substr(eq + 1);
        for (size_t i = 0; i < interfaces_.size(); ++i) {
            if (key != interfaces_[i]->GetKey())
                continue;
            if (seen[i] || !interfaces_[i]->ParseEdited(value, channelLimit_)) {
                restore();
                return false;
            }
            seen[i] = true;
        }
        // Keys of settings this build does not have are ignored.
    }
    std::string err;
    if (!checkAll(&err)) {
        restore();
        return false;
    }
    applyAll();
    return true;
}
