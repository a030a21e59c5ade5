// What ffprobe says about a file, as its "flat" keys
// (streams.stream.0.codec_name, format.tags.title ...), quotes removed.
#pragma once

#include <map>
#include <string>

namespace avkit_test {

// Empty when ffprobe is missing or cannot read the file; the test then fails
// with ffprobe's message in "error".
std::map<std::string, std::string> Probe(const std::string& path);

// The stream of the given type ("video", "audio"); -1 when none.
int StreamIndex(const std::map<std::string, std::string>& p, const std::string& type);
std::string StreamKey(const std::map<std::string, std::string>& p, int index,
                      const std::string& key);

// What ffmpeg reports while decoding the whole file ("" when it decodes
// cleanly), or why it could not run.
std::string DecodeErrors(const std::string& path);

// A temporary file name with the extension; removed by the caller.
std::string TempPath(const std::string& ext);

}  // namespace avkit_test
