#pragma once
// One setting of an analyzer, as the settings dialog shows it. The dialog
// reads and writes the "edited" value through the kind's Get/Set calls; the
// analyzer decodes with the "applied" value (Value()), which only
// AnalyzerSettings::ApplyInterfaces or LoadFromText change. Texts are Latin-1.

#include "libanalyzer/analyzertypes.h"
#include "libanalyzer/channel.h"

#include <string>
#include <vector>

class AnalyzerSettingInterface {
public:
    enum Kind { KindChannel = 1, KindNumberList = 2, KindInteger = 3, KindText = 4, KindBool = 5 };

    virtual ~AnalyzerSettingInterface();
    AnalyzerSettingInterface(const AnalyzerSettingInterface&) = delete;
    AnalyzerSettingInterface& operator=(const AnalyzerSettingInterface&) = delete;

    virtual int GetKind() const = 0;
    const char* GetTitle() const { return title_.c_str(); }
    const char* GetToolTip() const { return toolTip_.c_str(); }
    void SetTitleAndTooltip(const char* title, const char* toolTip);
    // Name of the value in the settings text (letters and digits).
    const char* GetKey() const { return key_.c_str(); }

protected:
    explicit AnalyzerSettingInterface(const char* key);

private:
    friend class AnalyzerSettings;
    // Settings-text codec: the edited value to and from text. Parse refuses
    // anything but a value the setting accepts, leaving the value unchanged.
    virtual bool ParseEdited(const std::string& text, U32 channelLimit) = 0;
    virtual std::string FormatEdited() const = 0;
    // Puts back a value FormatEdited gave, whether or not it is acceptable.
    virtual void RestoreEdited(const std::string& text) = 0;
    virtual std::string FormatApplied() const = 0;
    virtual bool CheckEdited(U32 channelLimit) const = 0;
    virtual void Apply() = 0;

    std::string key_;
    std::string title_;
    std::string toolTip_;
};

class AnalyzerSettingInterfaceChannel : public AnalyzerSettingInterface {
public:
    explicit AnalyzerSettingInterfaceChannel(const char* key);
    int GetKind() const override { return KindChannel; }
    Channel GetChannel() const { return edited_; }
    void SetChannel(const Channel& channel) { edited_ = channel; }
    bool GetSelectionOfNoneIsAllowed() const { return noneAllowed_; }
    void SetSelectionOfNoneIsAllowed(bool allowed) { noneAllowed_ = allowed; }
    Channel Value() const { return applied_; }

private:
    bool ParseEdited(const std::string& text, U32 channelLimit) override;
    std::string FormatEdited() const override;
    void RestoreEdited(const std::string& text) override;
    std::string FormatApplied() const override;
    bool CheckEdited(U32 channelLimit) const override;
    void Apply() override { applied_ = edited_; }
    Channel edited_{0, 0};
    Channel applied_{0, 0};
    bool noneAllowed_ = false;
};

class AnalyzerSettingInterfaceNumberList : public AnalyzerSettingInterface {
public:
    explicit AnalyzerSettingInterfaceNumberList(const char* key);
    int GetKind() const override { return KindNumberList; }
    void AddNumber(double number, const char* text, const char* toolTip);
    unsigned GetListboxNumbersCount() const { return unsigned(entries_.size()); }
    const char* GetListboxString(unsigned index) const;
    const char* GetListboxTooltip(unsigned index) const;
    double GetListboxNumber(unsigned index) const;
    double GetNumber() const { return edited_; }
    void SetNumber(double number) { edited_ = number; }
    double Value() const { return applied_; }

private:
    struct Entry {
        double number;
        std::string text;
        std::string toolTip;
    };
    int indexOf(double number) const;
    bool ParseEdited(const std::string& text, U32 channelLimit) override;
    std::string FormatEdited() const override;
    void RestoreEdited(const std::string& text) override;
    std::string FormatApplied() const override;
    bool CheckEdited(U32 channelLimit) const override;
    void Apply() override { applied_ = edited_; }
    std::vector<Entry> entries_;
    double edited_ = 0;
    double applied_ = 0;
};

class AnalyzerSettingInterfaceInteger : public AnalyzerSettingInterface {
public:
    explicit AnalyzerSettingInterfaceInteger(const char* key);
    int GetKind() const override { return KindInteger; }
    int GetInteger() const { return edited_; }
    void SetInteger(int value) { edited_ = value; }
    int GetMin() const { return min_; }
    int GetMax() const { return max_; }
    void SetMin(int v) { min_ = v; }
    void SetMax(int v) { max_ = v; }
    int Value() const { return applied_; }

private:
    bool ParseEdited(const std::string& text, U32 channelLimit) override;
    std::string FormatEdited() const override;
    void RestoreEdited(const std::string& text) override;
    std::string FormatApplied() const override;
    bool CheckEdited(U32 channelLimit) const override;
    void Apply() override { applied_ = edited_; }
    int edited_ = 0;
    int applied_ = 0;
    int min_ = 0;
    int max_ = 0x7FFFFFFF;
};

class AnalyzerSettingInterfaceText : public AnalyzerSettingInterface {
public:
    static constexpr size_t kMaxLength = 1024;
    explicit AnalyzerSettingInterfaceText(const char* key);
    int GetKind() const override { return KindText; }
    const char* GetText() const { return edited_.c_str(); }
    void SetText(const char* text) { edited_ = text ? text : ""; }
    const std::string& Value() const { return applied_; }

private:
    bool ParseEdited(const std::string& text, U32 channelLimit) override;
    std::string FormatEdited() const override;
    void RestoreEdited(const std::string& text) override;
    std::string FormatApplied() const override;
    bool CheckEdited(U32 channelLimit) const override;
    void Apply() override { applied_ = edited_; }
    std::string edited_;
    std::string applied_;
};

class AnalyzerSettingInterfaceBool : public AnalyzerSettingInterface {
public:
    explicit AnalyzerSettingInterfaceBool(const char* key);
    int GetKind() const override { return KindBool; }
    bool GetValue() const { return edited_; }
    void SetValue(bool value) { edited_ = value; }
    const char* GetCheckBoxText() const { return checkText_.c_str(); }
    void SetCheckBoxText(const char* text) { checkText_ = text ? text : ""; }
    bool Value() const { return applied_; }

private:
    bool ParseEdited(const std::string& text, U32 channelLimit) override;
    std::string FormatEdited() const override;
    void RestoreEdited(const std::string& text) override;
    std::string FormatApplied() const override;
    bool CheckEdited(U32 channelLimit) const override;
    void Apply() override { applied_ = edited_; }
    bool edited_ = false;
    bool applied_ = false;
    std::string checkText_;
};
