#pragma once

#include "mmio/MMIOFile.h"
#include "output/AudioSink.h"

// A WAVE sink: its samples lie in the file as they come, so a run that writes them in its own small
// pieces (the raw path's 1- and 2-byte writes) may put them straight into the file object.
class TWaveSink : public TAudioSink {
public:
    bool Write(const uint8_t* bytes, int32_t count) final { return file_->Write(bytes, count) == count; }
    void Abandon() final {}
    bool SamplesGoStraightToFile() const final { return true; }

    // The file the samples go to, after Begin.
    TMMIOFile& File() { return *file_; }

protected:
    TMMIOFile* file_ = nullptr;
};
