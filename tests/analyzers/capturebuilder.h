#pragma once
// Test helpers: complete capture lists built the plain way, as the sample
// store leaves them after a capture, and a waveform writer for golden tests.

#include "libanalyzer/analyzerdata.h"

#include <cstdint>
#include <memory>
#include <vector>

// Appends positions to one list, filling blocks and groups in order.
class EdgeListWriter {
public:
    explicit EdgeListWriter(DigitalChnData* list) : list_(list) {}

    void append(int64_t pos)
    {
        if (list_->groupNum == 0) {
            DataGroup* g = new DataGroup();
            g->blockNum = 0;
            list_->groups[list_->groupNum++] = g;
        }
        DataGroup* g = group();
        if (g->blockNum == 0 || g->blocks[g->blockNum - 1]->num == DataBlock::Capacity) {
            if (g->blockNum == DataGroup::Capacity) {
                g = new DataGroup();
                g->blockNum = 0;
                list_->groups[list_->groupNum++] = g;
            }
            DataBlock* b = new DataBlock();
            b->num = 0;
            g->blocks[g->blockNum++] = b;
        }
        DataBlock* b = g->blocks[g->blockNum - 1];
        b->setPos(b->num++, pos);
    }

    // Fills the index arrays, as completing a capture does.
    void finish()
    {
        for (int gi = 0; gi < list_->groupNum; ++gi) {
            DataGroup* g = list_->groups[gi];
            for (int bi = 0; bi < g->blockNum; ++bi)
                g->blockLast[bi] = g->blocks[bi]->pos(g->blocks[bi]->num - 1);
            list_->groupLast[gi] = g->blockLast[g->blockNum - 1];
        }
    }

private:
    DataGroup* group() { return list_->groups[list_->groupNum - 1]; }
    DigitalChnData* list_;
};

inline void freeEdgeList(DigitalChnData* d)
{
    if (!d)
        return;
    for (int g = 0; g < d->groupNum; ++g) {
        for (int b = 0; b < d->groups[g]->blockNum; ++b)
            delete d->groups[g]->blocks[b];
        delete d->groups[g];
    }
    delete d;
}

// A capture of `channels` channels; channels never set stay uncaptured (null).
class TestCapture {
public:
    TestCapture(int channels, int64_t sampleCount, int64_t rate)
        : lists_(size_t(channels), nullptr)
    {
        rec_ = DataForAnly();
        rec_.chnData = lists_.data();
        rec_.chnNum = channels;
        rec_.smpCount = sampleCount;
        rec_.smpFrequ = rate;
    }
    ~TestCapture()
    {
        for (DigitalChnData* d : lists_)
            freeEdgeList(d);
    }
    TestCapture(const TestCapture&) = delete;
    TestCapture& operator=(const TestCapture&) = delete;

    // Edges strictly increasing and below the sample count.
    void setChannel(int ch, int initLevel, const std::vector<int64_t>& edges)
    {
        DigitalChnData* d = begin(ch, initLevel);
        EdgeListWriter w(d);
        for (int64_t e : edges)
            w.append(e);
        w.append(rec_.smpCount);
        w.finish();
    }
    // For large captures: append edges, then end().
    DigitalChnData* begin(int ch, int initLevel)
    {
        freeEdgeList(lists_[size_t(ch)]);
        DigitalChnData* d = new DigitalChnData();
        d->initLevel = initLevel;
        lists_[size_t(ch)] = d;
        return d;
    }

    DataForAnly* record() { return &rec_; }

private:
    std::vector<DigitalChnData*> lists_;
    DataForAnly rec_;
};

// Writes a waveform as its edges: set(at, level) puts the level from sample
// `at` on (calls in time order).
class WaveBuilder {
public:
    explicit WaveBuilder(int initLevel = 1) : init_(initLevel), level_(initLevel) {}
    void set(int64_t at, int level)
    {
        if (level == level_)
            return;
        if (!edges_.empty() && edges_.back() == at)
            edges_.pop_back();  // a change back at the same sample cancels out
        else
            edges_.push_back(at);
        level_ = level;
    }
    int initLevel() const { return init_; }
    const std::vector<int64_t>& edges() const { return edges_; }

private:
    int init_;
    int level_;
    std::vector<int64_t> edges_;
};
