// The codec setups that AVC and AAC streams send before their pictures and
// sound: the AVC decoder configuration record (sequence and picture parameter
// sets) and the AAC AudioSpecificConfig, and what they declare.
#pragma once

#include <cstdint>

#include "tagflow/tagflow.h"
#include "tagio/tagio.h"

// AVCPacketType / AACPacketType, the data byte after the codec byte.
enum : uint32_t { kPacketSetup = 0, kPacketMedia = 1, kPacketEndOfSequence = 2 };

// AVC CompositionTime from its three bytes (SI24, ms). Pictures are shown at
// most a few frames after they are stored; an offset beyond 4 s is damage and
// counts as 0, so one bad tag cannot push a picture hours ahead.
int32_t ReadCompositionTime(const uint8_t* bytes);

// True for an AVC or HEVC video tag, an AAC audio tag or a tag of a FourCC
// codec: their data carries a packet type.
bool HasPacketType(const FLVTag& tag);
// A sequence header or AudioSpecificConfig tag (loaded or not).
bool IsCodecSetup(const FLVTag& tag);
// A video tag that codes a picture: every tag of the older codecs, an AVC,
// HEVC or FourCC codec tag only with packet type 1.
bool IsPictureTag(const FLVTag& tag);
// An audio tag that carries sound to decode (an AAC setup carries none).
bool HasSoundData(const FLVTag& tag);

// The sample rate and channels a sound tag's FLV fields declare; Nellymoser
// 8 kHz and Speex imply their own (8000 and 16000 Hz, mono); FourCC codecs
// declare none there (0, 0).
void DeclaredSoundFormat(const FLVTag& tag, int& rate, int& channels);
// The audio fields of a stream description from its first sound tag; an AAC
// setup gives its own rate and channels (the FLV fields of AAC are fixed), as
// do Opus and FLAC setups and the frame headers of AC-3, E-AC-3 and MP3.
void FillAudioInfo(FLVInfo& info, const FLVTag& tag);

// Reads a setup from a tag's data (codec byte first). False, with *setup
// cleared, for anything but a complete, well-formed AVC or AAC setup.
bool ReadCodecSetup(uint32_t type, const uint8_t* data, uint32_t size, TagioCodecSetup* setup);
