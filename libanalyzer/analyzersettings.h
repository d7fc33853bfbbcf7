#pragma once
// Settings of one analyzer: the list of setting interfaces the host's dialog
// is built from, the settings text the host stores, and the export options.
//
// Settings text: "<tag>,1,<key>=<value>,..." with one pair per setting
// (channels as a number or "none", lists and integers as numbers, bools as
// 0/1, texts percent-encoded), so it holds no ';', blank or non-ASCII byte.
// LoadFromText takes all of a text or none of it: anything malformed, a value
// a setting does not accept, or a channel at or above the channel limit
// leaves the settings as they were and returns false.
//
// SaveToText returns a per-thread buffer, valid until the same thread calls
// it again.

#include "libanalyzer/analyzersettinginterface.h"
#include "libanalyzer/analyzertypes.h"

#include <string>
#include <vector>

class AnalyzerSettings {
public:
    static constexpr size_t kMaxTextLength = 16384;

    explicit AnalyzerSettings(const char* textTag);
    virtual ~AnalyzerSettings();
    AnalyzerSettings(const AnalyzerSettings&) = delete;
    AnalyzerSettings& operator=(const AnalyzerSettings&) = delete;

    unsigned GetSettingsInterfacesCount() const { return unsigned(interfaces_.size()); }
    AnalyzerSettingInterface* GetSettingsInterface(unsigned index) const;
    // Channel settings come first in the interface list; this is their number.
    unsigned GetChannelsCount() const;

    // Checks the edited values and makes them the applied ones. False (and
    // nothing applied) with GetSaveErrorMessage() saying why.
    bool ApplyInterfaces();
    const char* GetSaveErrorMessage() const { return error_.c_str(); }

    const char* SaveToText() const;
    bool LoadFromText(const char* text);

    // Channels at or above the limit are refused (default: the record's maximum).
    void SetChannelLimit(U32 limit) { channelLimit_ = limit > kAnalyzerMaxChannels ? kAnalyzerMaxChannels : limit; }
    U32 GetChannelLimit() const { return channelLimit_; }

    // Export options: each has an id, a name and file extensions (name, extension without dot).
    unsigned GetExportOptionsCount() const { return unsigned(exports_.size()); }
    bool GetExportOption(unsigned index, unsigned* id, const char** name) const;
    unsigned GetFileExtensionCount(unsigned id) const;
    bool GetFileExtension(unsigned id, unsigned index, const char** extensionName,
                          const char** extension) const;

protected:
    // Registers a setting (owned by the subclass); add channel settings first.
    void AddInterface(AnalyzerSettingInterface* setting);
    void AddExportOption(unsigned id, const char* name);
    void AddExportExtension(unsigned id, const char* extensionName, const char* extension);
    // Checks between settings on the edited values, after the per-setting and
    // channel checks; return false with *error set to refuse.
    virtual bool CheckInterfaces(std::string* error) const;

private:
    bool checkAll(std::string* error) const;
    void applyAll();

    struct Extension {
        std::string name;
        std::string ext;
    };
    struct ExportOption {
        unsigned id;
        std::string name;
        std::vector<Extension> extensions;
    };
    std::string tag_;
    std::vector<AnalyzerSettingInterface*> interfaces_;
    std::vector<ExportOption> exports_;
    std::string error_;
    U32 channelLimit_ = kAnalyzerMaxChannels;
};
