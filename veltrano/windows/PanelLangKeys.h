#pragma once

// Every text the clip customize panel and its dialogs look up by key at run
// time, with the language unit that holds it. A test checks that both
// language files hold every one of them.

#include "app/LangKeys.h"

namespace panelkey {

#define VELTRANO_PANEL_KEY(name, text) inline constexpr TLangKey name{"fmeFlvCustomize", text};
// The information list's keys.
VELTRANO_PANEL_KEY(kFile, "str_file")
VELTRANO_PANEL_KEY(kVersion, "str_ver")
VELTRANO_PANEL_KEY(kDuration, "str_dur")
VELTRANO_PANEL_KEY(kVideo, "str_video")
VELTRANO_PANEL_KEY(kSize, "str_size")
VELTRANO_PANEL_KEY(kVideoCodec, "str_vcodec")
VELTRANO_PANEL_KEY(kFrameRate, "str_frame_rate")
VELTRANO_PANEL_KEY(kVideoBitRate, "str_vbitrate")
VELTRANO_PANEL_KEY(kAudio, "str_audio")
VELTRANO_PANEL_KEY(kAudioCodec, "str_acodec")
VELTRANO_PANEL_KEY(kAudioBitRate, "str_abitrate")
VELTRANO_PANEL_KEY(kSampleRate, "str_samplerate")
VELTRANO_PANEL_KEY(kSampleBits, "str_samplebits")
VELTRANO_PANEL_KEY(kChannels, "str_channels")
VELTRANO_PANEL_KEY(kMono, "str_mono")
VELTRANO_PANEL_KEY(kStereo, "str_stereo")
// Warnings and list texts.
VELTRANO_PANEL_KEY(kInvalidStart, "str_invalid_starttime")
VELTRANO_PANEL_KEY(kInvalidEnd, "str_invalid_endtime")
VELTRANO_PANEL_KEY(kInvalidImage, "str_invalid_image")
VELTRANO_PANEL_KEY(kImage, "str_image")
VELTRANO_PANEL_KEY(kText, "str_text")
VELTRANO_PANEL_KEY(kTitle, "str_title")
VELTRANO_PANEL_KEY(kErrPlay, "err_play")
VELTRANO_PANEL_KEY(kErrSnapshot, "err_snapshot")
VELTRANO_PANEL_KEY(kErrOpenSnap, "err_open_snap")
VELTRANO_PANEL_KEY(kErrPathTooLong, "err_path_too_long")
VELTRANO_PANEL_KEY(kWatermarkFilter, "str_watermark_filter")
VELTRANO_PANEL_KEY(kWatermarkOpenTitle, "str_watermark_open")
// What the preview does on the Clip and Watermark pages.
VELTRANO_PANEL_KEY(kHintPreviewClip, "hint_preview_clip")
VELTRANO_PANEL_KEY(kHintPreviewWatermark, "hint_preview_watermark")
// Control hints.
VELTRANO_PANEL_KEY(kHintPlay, "hint_play")
VELTRANO_PANEL_KEY(kHintPause, "hint_pause")
VELTRANO_PANEL_KEY(kHintStop, "hint_stop")
VELTRANO_PANEL_KEY(kHintPreFrame, "hint_pre_frame")
VELTRANO_PANEL_KEY(kHintNextFrame, "hint_nxt_frame")
VELTRANO_PANEL_KEY(kHintFloat, "hint_float")
VELTRANO_PANEL_KEY(kHintSnap, "hint_snap")
VELTRANO_PANEL_KEY(kHintOpenSnap, "hint_open_snap")
VELTRANO_PANEL_KEY(kHintStartEdit, "hint_starttime_edit")
VELTRANO_PANEL_KEY(kHintEndEdit, "hint_endtime_edit")
VELTRANO_PANEL_KEY(kHintMarkStart, "hint_markstart")
VELTRANO_PANEL_KEY(kHintMarkEnd, "hint_markend")
VELTRANO_PANEL_KEY(kHintStartPrev, "hint_start_pre")
VELTRANO_PANEL_KEY(kHintStartNext, "hint_start_nxt")
VELTRANO_PANEL_KEY(kHintEndPrev, "hint_end_pre")
VELTRANO_PANEL_KEY(kHintEndNext, "hint_end_nxt")
VELTRANO_PANEL_KEY(kHintCropLeft, "hint_crop_left")
VELTRANO_PANEL_KEY(kHintCropRight, "hint_crop_right")
VELTRANO_PANEL_KEY(kHintCropTop, "hint_crop_top")
VELTRANO_PANEL_KEY(kHintCropBottom, "hint_crop_bottom")
VELTRANO_PANEL_KEY(kHintResetCrop, "hint_reset_crop")
VELTRANO_PANEL_KEY(kHintResetTrim, "hint_reset_trim")
VELTRANO_PANEL_KEY(kHintApplyClip, "hint_apply_clip")
VELTRANO_PANEL_KEY(kHintAddWatermark, "hint_add_watermark")
VELTRANO_PANEL_KEY(kHintDelWatermark, "hint_del_watermark")
VELTRANO_PANEL_KEY(kHintClearWatermark, "hint_clear_watermark")
VELTRANO_PANEL_KEY(kHintWatermarkUp, "hint_watermark_up")
VELTRANO_PANEL_KEY(kHintWatermarkDown, "hint_watermark_down")
VELTRANO_PANEL_KEY(kHintImageSet, "hint_watermark_img_set")
VELTRANO_PANEL_KEY(kHintBrowse, "hint_watermark_browse")
VELTRANO_PANEL_KEY(kHintOrigin, "hint_watermark_origin")
VELTRANO_PANEL_KEY(kHintLeft, "hint_watermark_left")
VELTRANO_PANEL_KEY(kHintTop, "hint_watermark_top")
VELTRANO_PANEL_KEY(kHintWidth, "hint_watermark_width")
VELTRANO_PANEL_KEY(kHintHeight, "hint_watermark_height")
VELTRANO_PANEL_KEY(kHintLock, "hint_watermark_lock")
VELTRANO_PANEL_KEY(kHintCaption, "hint_watermark_caption")
VELTRANO_PANEL_KEY(kHintFont, "hint_watermark_font_set")
VELTRANO_PANEL_KEY(kHintOffsetStart, "hint_watermark_offset_start")
VELTRANO_PANEL_KEY(kHintOffsetEnd, "hint_watermark_offset_end")
VELTRANO_PANEL_KEY(kHintWaterStart, "hint_watermark_start")
VELTRANO_PANEL_KEY(kHintWaterEnd, "hint_watermark_end")
VELTRANO_PANEL_KEY(kHintWaterStartPre, "hint_watermark_start_preframe")
VELTRANO_PANEL_KEY(kHintWaterStartNext, "hint_watermark_start_nextframe")
VELTRANO_PANEL_KEY(kHintWaterEndPre, "hint_watermark_end_preframe")
VELTRANO_PANEL_KEY(kHintWaterEndNext, "hint_watermark_end_nextframe")
VELTRANO_PANEL_KEY(kHintFadeIn, "hint_watermark_fade_in")
VELTRANO_PANEL_KEY(kHintFadeOut, "hint_watermark_fade_out")
VELTRANO_PANEL_KEY(kHintApplyWatermark, "hint_apply_watermark")
VELTRANO_PANEL_KEY(kHintBrightness, "hint_brightness")
VELTRANO_PANEL_KEY(kHintContrast, "hint_contrast")
VELTRANO_PANEL_KEY(kHintVolume, "hint_volume")
VELTRANO_PANEL_KEY(kHintEffect, "hint_effect")
VELTRANO_PANEL_KEY(kHintFlip, "hint_flip")
VELTRANO_PANEL_KEY(kHintDeinterlace, "hint_deinterlace")
VELTRANO_PANEL_KEY(kHintApplyEffect, "hint_apply_effect")
VELTRANO_PANEL_KEY(kHintResetEffect, "hint_reset_effect")
#undef VELTRANO_PANEL_KEY

// The range slider's mark hints.
inline constexpr TLangKey kSliderStart{"fmeRangeSlider", "hint_start"};
inline constexpr TLangKey kSliderEnd{"fmeRangeSlider", "hint_end"};
inline constexpr TLangKey kSliderWaterStart{"fmeRangeSlider", "hint_start1"};
inline constexpr TLangKey kSliderWaterEnd{"fmeRangeSlider", "hint_end1"};
inline constexpr TLangKey kSliderPosition{"fmeRangeSlider", "hint_pos"};

// The colour dialog's error for a file that gives no picture.
inline constexpr TLangKey kTranInvalidImage{"frmTranColor", "err_invalid_image"};

inline constexpr TLangKey kAll[] = {
    kFile, kVersion, kDuration, kVideo, kSize, kVideoCodec, kFrameRate, kVideoBitRate, kAudio, kAudioCodec,
    kAudioBitRate, kSampleRate, kSampleBits, kChannels, kMono, kStereo, kInvalidStart, kInvalidEnd, kInvalidImage,
    kImage, kText, kTitle, kErrPlay, kErrSnapshot, kErrOpenSnap, kErrPathTooLong, kWatermarkFilter, kWatermarkOpenTitle,
    kHintPreviewClip, kHintPreviewWatermark, kHintPlay, kHintPause, kHintStop, kHintPreFrame, kHintNextFrame,
    kHintFloat, kHintSnap, kHintOpenSnap, kHintStartEdit, kHintEndEdit, kHintMarkStart, kHintMarkEnd,
    kHintStartPrev, kHintStartNext, kHintEndPrev, kHintEndNext, kHintCropLeft, kHintCropRight, kHintCropTop,
    kHintCropBottom, kHintResetCrop, kHintResetTrim, kHintApplyClip, kHintAddWatermark, kHintDelWatermark,
    kHintClearWatermark, kHintWatermarkUp, kHintWatermarkDown, kHintImageSet, kHintBrowse, kHintOrigin, kHintLeft,
    kHintTop, kHintWidth, kHintHeight, kHintLock, kHintCaption, kHintFont, kHintOffsetStart, kHintOffsetEnd,
    kHintWaterStart, kHintWaterEnd, kHintWaterStartPre, kHintWaterStartNext, kHintWaterEndPre, kHintWaterEndNext,
    kHintFadeIn, kHintFadeOut, kHintApplyWatermark, kHintBrightness, kHintContrast, kHintVolume, kHintEffect,
    kHintFlip, kHintDeinterlace, kHintApplyEffect, kHintResetEffect, kSliderStart, kSliderEnd, kSliderWaterStart,
    kSliderWaterEnd, kSliderPosition, kTranInvalidImage,
};

}  // namespace panelkey
