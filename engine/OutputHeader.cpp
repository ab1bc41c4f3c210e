#include "engine/OutputHeader.h"

TWaveHeader BuildWaveHeader(int32_t sampleRate, int formatIndex, uint32_t groupCount) {
    const int index = EffectiveFormat(formatIndex);
    TWaveHeader header{};
    header.FmtId = kFmtId;
    header.FmtSize = 18;
    header.FormatTag = 1;
    header.Channels = 2;
    header.SamplesPerSec = static_cast<uint32_t>(sampleRate);
    header.BlockAlign = static_cast<uint16_t>(header.Channels * (index + 2));
    header.AvgBytesPerSec = static_cast<uint32_t>(sampleRate) * header.BlockAlign;
    header.BitsPerSample = static_cast<uint16_t>((index + 4) * 4);
    header.ExtraFormatBytes = 0;
    header.DataId = kDataId;
    header.RiffId = kRiffId;
    header.WaveId = kWaveId;
    SetWaveDataSize(header, groupCount * header.BlockAlign * header.Channels);
    return header;
}

void SetWaveDataSize(TWaveHeader& header, uint32_t dataBytes) {
    header.DataSize = dataBytes;
    header.RiffSize = dataBytes + kRiffOverhead;
}
