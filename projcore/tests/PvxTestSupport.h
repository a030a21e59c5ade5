// Sequences of fixture clips and the outside tools that check what a
// conversion wrote.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "model/FLVSequence.h"
#include "projcore/Records.h"

namespace pvxtest {

std::string Fixture(const std::string& name);
// Output of a shell command (stdout only).
std::string Shell(const std::string& command);
bool HaveTool(const char* name);

// One ffprobe value, e.g. Probe(path, "v:0", "stream=codec_name").
std::string Probe(const std::string& path, const std::string& stream, const std::string& entry);
double ProbeDuration(const std::string& path, const std::string& stream);

// A clip of a fixture with its kept span.
std::unique_ptr<CBaseClip> FlvClip(const std::string& fixture, uint32_t trimStart, uint32_t trimEnd);
std::unique_ptr<CBaseClip> ImageClip(const std::string& fixture);
void Append(CFLVSequence& seq, std::unique_ptr<CBaseClip> clip);

// Two clips with trims (1.8 s + 1.2 s), a crop, a left-right flip, an image
// and a text watermark on the first, and a title and author.
void MakeEditedSequence(CFLVSequence& seq, bool edits = true);
// The same two spans of H.264 + AAC input (one with B-frames), trimmed
// between key frames, with the same edits.
void MakeEditedH264Sequence(CFLVSequence& seq);

OutputSettings Settings(const char* format, const char* ext, int32_t video, int32_t audio, int width = 320,
                        int height = 240, double fps = 25, int rate = 44100, int channels = 2);

struct JobResult {
    int32_t code;
    std::string text;
    std::string output;   // the name the finished output was given
};
JobResult Convert(OutputSettings settings, CFLVSequence& seq, const std::string& path, bool overwrite = false);

// Frame n of a video file as BGRA pixels (ffmpeg decodes it).
std::vector<uint8_t> DecodeFrame(const std::string& path, int n, int width, int height);
// Of the pictures' luma.
double Psnr(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b);
// Mean absolute difference of the colours inside a rectangle of two BGRA pictures.
double RegionDifference(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b, int width, const Rect& r);

}  // namespace pvxtest
