#pragma once
// Decoded results of one analyzer: frames, per-channel markers, and the texts
// made from them on demand.
//
// Threads: the analyzer's worker appends (AddFrame, AddMarker) while the GUI,
// the decoded-list thread and the export thread read. Storage is append-only
// in fixed chunks with an atomically published count, so a reader sees whole
// frames only. ResetResults/ClearResults keep this object and its address;
// they swap in empty storage and free the old one once no call that reads it
// is still running. Texts are made into per-thread buffers: the pointer that
// GetTabularTextString()/GetResultStrings() hand out stays valid until the
// same thread makes its next text of that kind.
//
// Frames of one analyzer are appended in time order and do not overlap
// (AddFrame drops a frame that would break this); markers of one channel are
// appended in sample order.

#include "libanalyzer/analyzertypes.h"
#include "libanalyzer/channel.h"
#include "libanalyzer/frame.h"

class AnalyzerResults {
public:
    AnalyzerResults();
    virtual ~AnalyzerResults();
    AnalyzerResults(const AnalyzerResults&) = delete;
    AnalyzerResults& operator=(const AnalyzerResults&) = delete;

    // ---- readers, any thread ----
    U64 GetNumFrames() const;
    // Frame `index`; an all-zero frame when index is not below GetNumFrames().
    Frame GetFrame(U64 index) const;
    // Frames that share a sample with [firstSample, lastSample] (both included):
    // true when any does; *firstFrame/*lastFrame are the first and last of them.
    bool GetFramesInRange(S64 firstSample, S64 lastSample, U64* firstFrame, U64* lastFrame) const;

    bool DoBubblesAppearOnChannel(const Channel& channel) const;
    bool DoMarkersAppearOnChannel(const Channel& channel) const;
    U64 GetNumMarkers(const Channel& channel) const;
    // Marker `index` of the channel; sample -1 when there is none.
    Marker GetMarker(const Channel& channel, U64 index) const;
    // Markers with firstSample <= sample <= lastSample on the channel.
    bool GetMarkersInRange(const Channel& channel, S64 firstSample, S64 lastSample, U64* firstMarker,
                           U64* lastMarker) const;

    // Bubble texts of a frame on a channel, shortest first: MakeBubbleText then
    // GetResultStrings(&strings, &count) on the same thread.
    void MakeBubbleText(U64 frameIndex, const Channel& channel, DisplayBase base);
    void GetResultStrings(const char* const** strings, unsigned* count) const;

    // One line of text for the decoded-results list (UTF-8).
    void MakeTabularText(U64 frameIndex, DisplayBase base);
    const char* GetTabularTextString() const;

    // ---- export (one at a time) ----
    // Resets progress and the cancel request before an export thread starts;
    // the path argument may be null (WriteExportFile gets it again).
    void StartExportThread(const char* path, DisplayBase base, unsigned exportId);
    // Writes every frame to `path`: CSV when the path ends in ".csv" (any case),
    // else tab-separated text. The file is written beside the target and moved
    // over it only when complete, so a cancelled or failed export keeps any old
    // file. True when the file was written.
    bool WriteExportFile(const char* path, DisplayBase base, unsigned exportId);
    double GetProgress() const;  // 0..1
    void CancelExport();

    // ---- writer side (the analyzer) ----
    // Appends a frame; returns its index, or kNoFrame when it was dropped.
    static constexpr U64 kNoFrame = ~U64(0);
    U64 AddFrame(const Frame& frame);
    bool AddMarker(S64 sample, MarkerType type, const Channel& channel);
    void AddChannelBubblesWillAppearOn(const Channel& channel);
    void ClearBubbleChannels();
    // Drops every frame and marker (the object stays; readers see 0 frames).
    void ClearResults();

    // Sample rate and trigger used for the time column of exports.
    void SetTimeBase(S64 sampleRate, S64 triggerSample);

protected:
    // Called by MakeBubbleText for a frame that exists; add strings with AddResultString.
    virtual void GenerateBubbleText(U64 frameIndex, const Channel& channel, DisplayBase base) = 0;
    // Called by MakeTabularText for a frame that exists; add text with AddTabularText.
    virtual void GenerateTabularText(U64 frameIndex, DisplayBase base) = 0;
    // Column titles after "Time [s]", then the fields of one frame: AddExportField each.
    virtual void GenerateExportHeader(unsigned exportId) = 0;
    virtual void GenerateExportRow(U64 frameIndex, DisplayBase base, unsigned exportId) = 0;

    // Each call appends one bubble string made of the pieces given.
    void AddResultString(const char* s1, const char* s2 = nullptr, const char* s3 = nullptr,
                         const char* s4 = nullptr, const char* s5 = nullptr, const char* s6 = nullptr);
    // Appends the pieces to the tabular line.
    void AddTabularText(const char* s1, const char* s2 = nullptr, const char* s3 = nullptr,
                        const char* s4 = nullptr, const char* s5 = nullptr, const char* s6 = nullptr);
    void AddExportField(const char* text);

private:
    struct Private;
    Private* d;
};
