#pragma once
// Forward iterator over one channel of a capture, reading the store's edge
// lists in place (nothing is copied). Header only and free of allocation, so
// a decoder's inner loop is a few loads per edge.
//
// The iterator stands at a sample (Sample()); Level() is the channel's level
// there, NextEdge() the first edge after it (End() when none follows). It only
// moves forward. End() is the capture's end entry (its sample count): no edge
// lies at or beyond it.

#include "libanalyzer/analyzerdata.h"
#include "libanalyzer/analyzertypes.h"

class EdgeIterator {
public:
    EdgeIterator() = default;

    // Binds to channel `channel` of a complete capture and stands at sample 0.
    // False (and unbound) when the channel is outside the record or has no list.
    bool Attach(const DataForAnly* capture, U32 channel)
    {
        data_ = nullptr;
        if (!capture || !capture->chnData || capture->chnNum <= 0 || channel >= U32(capture->chnNum))
            return false;
        return Attach(capture->chnData[channel]);
    }

    bool Attach(const DigitalChnData* list)
    {
        data_ = nullptr;
        if (!list || list->groupNum <= 0 || list->groupNum > DigitalChnData::Capacity)
            return false;
        for (int g = 0; g < list->groupNum; ++g) {
            const DataGroup* grp = list->groups[g];
            if (!grp || grp->blockNum <= 0 || grp->blockNum > DataGroup::Capacity)
                return false;
        }
        const DataGroup* lastGrp = list->groups[list->groupNum - 1];
        const DataBlock* lastBlk = lastGrp->blocks[lastGrp->blockNum - 1];
        if (!lastBlk || lastBlk->num <= 0 || lastBlk->num > DataBlock::Capacity)
            return false;
        data_ = list;
        end_ = lastBlk->pos(lastBlk->num - 1);
        initLevel_ = list->initLevel ? 1 : 0;
        setCursor(0, 0, 0);
        pos_ = -1;
        AdvanceTo(0);
        return true;
    }

    bool IsValid() const { return data_ != nullptr; }
    S64 Sample() const { return pos_; }
    int Level() const { return level_; }
    S64 NextEdge() const { return next_; }
    S64 End() const { return end_; }
    bool HasNextEdge() const { return !nextIsEnd_; }

    // Moves onto the next edge; the level flips. At the last edge it moves to End().
    void AdvanceToNextEdge()
    {
        pos_ = next_;
        if (nextIsEnd_)
            return;
        level_ ^= 1;
        if (++i_ == num_)
            nextBlock();
        else
            next_ = blk_->pos(i_);
        nextIsEnd_ = lastBlock_ && i_ == num_ - 1;
    }

    // Moves forward to `sample` (clamped to End()); a sample behind the
    // iterator leaves it where it is.
    void AdvanceTo(S64 sample)
    {
        if (sample <= pos_)
            return;
        if (sample >= end_)
            sample = end_;
        // Decoders mostly step over one or two edges: walk those, bisect
        // only for longer jumps.
        for (int k = 0; k < 4 && next_ <= sample && !nextIsEnd_; ++k)
            AdvanceToNextEdge();
        if (next_ > sample || (nextIsEnd_ && sample < end_)) {
            pos_ = sample;
            return;
        }
        seek(sample);
        pos_ = sample;
    }

    // Level at a later sample (moves the iterator there).
    int LevelAt(S64 sample)
    {
        AdvanceTo(sample);
        return level_;
    }

    // True when an edge lies in (Sample(), sample].
    bool EdgeUpTo(S64 sample) const { return !nextIsEnd_ && next_ <= sample; }

private:
    void setCursor(int g, int b, int i)
    {
        g_ = g;
        b_ = b;
        i_ = i;
        grp_ = data_->groups[g];
        blk_ = grp_->blocks[b];
        num_ = blk_->num;
        lastBlock_ = g == data_->groupNum - 1 && b == grp_->blockNum - 1;
        next_ = blk_->pos(i);
        nextIsEnd_ = lastBlock_ && i == num_ - 1;
        // Blocks hold an even number of entries, so the parity inside the
        // block is the parity of the global index.
        level_ = initLevel_ ^ (i & 1);
    }

    void nextBlock()
    {
        if (++b_ == grp_->blockNum) {
            b_ = 0;
            grp_ = data_->groups[++g_];
        }
        blk_ = grp_->blocks[b_];
        num_ = blk_->num;
        i_ = 0;
        lastBlock_ = g_ == data_->groupNum - 1 && b_ == grp_->blockNum - 1;
        next_ = blk_->pos(0);
    }

    // Puts the cursor on the first entry after `sample` (sample < end_), or on
    // the end entry when sample == end_. Bisects the index arrays of the
    // complete list, starting from the current cursor.
    void seek(S64 sample)
    {
        if (sample >= end_) {
            const DataGroup* lg = data_->groups[data_->groupNum - 1];
            setCursor(data_->groupNum - 1, lg->blockNum - 1, lg->blocks[lg->blockNum - 1]->num - 1);
            return;
        }
        int g = g_, b = b_, i = i_;
        if (blk_->pos(num_ - 1) <= sample) {
            i = 0;
            if (grp_->blockLast[grp_->blockNum - 1] <= sample) {
                int lo = g, hi = data_->groupNum - 1;  // groupLast[hi] > sample
                while (hi - lo > 1) {
                    int mid = lo + (hi - lo) / 2;
                    if (data_->groupLast[mid] > sample)
                        hi = mid;
                    else
                        lo = mid;
                }
                g = hi;
                b = 0;
            }
            const DataGroup* grp = data_->groups[g];
            if (grp->blockLast[b] <= sample) {
                int lo = b, hi = grp->blockNum - 1;
                while (hi - lo > 1) {
                    int mid = lo + (hi - lo) / 2;
                    if (grp->blockLast[mid] > sample)
                        hi = mid;
                    else
                        lo = mid;
                }
                b = hi;
            }
        }
        const DataBlock* blk = data_->groups[g]->blocks[b];
        if (blk->pos(i) <= sample) {
            int lo = i, hi = blk->num - 1;
            while (hi - lo > 1) {
                int mid = lo + (hi - lo) / 2;
                if (blk->pos(mid) > sample)
                    hi = mid;
                else
                    lo = mid;
            }
            i = hi;
        }
        setCursor(g, b, i);
    }

    const DigitalChnData* data_ = nullptr;
    const DataGroup* grp_ = nullptr;
    const DataBlock* blk_ = nullptr;
    int g_ = 0, b_ = 0, i_ = 0, num_ = 0;
    bool lastBlock_ = false;
    bool nextIsEnd_ = true;
    int initLevel_ = 0;
    int level_ = 0;
    S64 pos_ = 0;
    S64 next_ = 0;
    S64 end_ = 0;
};
