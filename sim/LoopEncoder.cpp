#include "LoopEncoder.h"

#include <cstring>

#include "Bytes.h"
#include "SliceRewriter.h"

extern "C" {
#include <x264.h>
}

namespace tevrano::sim {

namespace {

std::vector<uint8_t> NalBody(const x264_nal_t& nal) {
  // Payloads carry a 3- or 4-byte start code in Annex B mode.
  const uint8_t* p = nal.p_payload;
  int n = nal.i_payload;
  int skip = 0;
  while (skip < n && p[skip] == 0) ++skip;
  if (skip < n && p[skip] == 1) ++skip;
  return std::vector<uint8_t>(p + skip, p + n);
}

}  // namespace

EncodedLoop EncodeLoop(const LoopSpec& spec, const DrawFrame& draw) {
  EncodedLoop loop;
  loop.width = spec.width;
  loop.height = spec.height;
  loop.fps = spec.fps;

  x264_param_t param;
  x264_param_default_preset(&param, "veryfast", "zerolatency");
  param.i_width = spec.width;
  param.i_height = spec.height;
  param.i_csp = X264_CSP_I420;
  param.i_fps_num = uint32_t(spec.fps);
  param.i_fps_den = 1;
  param.b_vfr_input = 0;
  param.i_threads = 1;
  param.b_sliced_threads = 0;
  param.i_keyint_max = spec.fps;
  param.i_keyint_min = spec.fps;
  param.i_scenecut_threshold = 0;
  param.i_bframe = 0;
  param.b_cabac = 0;
  param.i_frame_reference = 1;
  param.b_deblocking_filter = 1;
  param.i_deblocking_filter_alphac0 = 0;
  param.i_deblocking_filter_beta = 0;
  param.analyse.i_weighted_pred = X264_WEIGHTP_NONE;
  param.i_level_idc = 30;
  param.b_repeat_headers = 0;
  param.b_annexb = 1;
  param.b_aud = 0;
  param.i_log_level = X264_LOG_ERROR;
  param.rc.i_rc_method = X264_RC_CRF;
  param.rc.f_rf_constant = 22;
  if (x264_param_apply_profile(&param, "baseline") < 0) {
    loop.error = "x264: baseline profile refused";
    return loop;
  }
  x264_t* enc = x264_encoder_open(&param);
  if (!enc) {
    loop.error = "x264: encoder did not open";
    return loop;
  }

  x264_nal_t* nals = nullptr;
  int count = 0;
  std::vector<uint8_t> sps, pps, headersAnnexB;
  x264_encoder_headers(enc, &nals, &count);
  for (int i = 0; i < count; ++i) {
    if (nals[i].i_type == NAL_SPS) sps = NalBody(nals[i]);
    if (nals[i].i_type == NAL_PPS) pps = NalBody(nals[i]);
    if (nals[i].i_type == NAL_SPS || nals[i].i_type == NAL_PPS)
      headersAnnexB.insert(headersAnnexB.end(), nals[i].p_payload,
                           nals[i].p_payload + nals[i].i_payload);
  }
  auto source = ParseSourceParams(sps, pps);
  if (!source) {
    x264_encoder_close(enc);
    loop.error = "x264: unexpected parameter sets";
    return loop;
  }

  const int total = spec.fps * spec.seconds;
  Picture pic(spec.width, spec.height);
  x264_picture_t in, out;
  x264_picture_init(&in);
  in.img.i_csp = X264_CSP_I420;
  in.img.i_plane = 3;
  in.img.plane[0] = pic.y.data();
  in.img.plane[1] = pic.u.data();
  in.img.plane[2] = pic.v.data();
  in.img.i_stride[0] = spec.width;
  in.img.i_stride[1] = in.img.i_stride[2] = spec.width / 2;

  uint32_t idrCount = 0;
  for (int f = 0; f < total && loop.error.empty(); ++f) {
    draw(pic, f, total);
    in.i_pts = f;
    // Force the pattern: an IDR at the start of every second.
    in.i_type = (f % spec.fps == 0) ? X264_TYPE_IDR : X264_TYPE_P;
    int bytes = x264_encoder_encode(enc, &nals, &count, &in, &out);
    if (bytes < 0) {
      loop.error = "x264: encoding failed";
      break;
    }
    EncodedFrame frame;
    frame.key = out.b_keyframe != 0;
    std::vector<uint8_t> original;
    if (spec.keepOriginal && frame.key) original = headersAnnexB;
    for (int i = 0; i < count; ++i) {
      if (spec.keepOriginal)
        original.insert(original.end(), nals[i].p_payload, nals[i].p_payload + nals[i].i_payload);
      if (nals[i].i_type != NAL_SLICE && nals[i].i_type != NAL_SLICE_IDR) continue;
      std::vector<uint8_t> body = NalBody(nals[i]);
      std::vector<uint8_t> slice = RewriteSlice(body.data(), body.size(), *source, idrCount & 1);
      if (slice.empty()) {
        loop.error = "slice header could not be rewritten";
        break;
      }
      uint8_t len[4];
      PutBe32(len, uint32_t(slice.size()));
      frame.units.insert(frame.units.end(), len, len + 4);
      frame.units.insert(frame.units.end(), slice.begin(), slice.end());
    }
    if (frame.key) ++idrCount;
    if (frame.units.empty() && loop.error.empty()) loop.error = "x264 delayed a frame";
    loop.frames.push_back(std::move(frame));
    if (spec.keepOriginal) loop.original.push_back(std::move(original));
  }
  x264_encoder_close(enc);
  return loop;
}

}  // namespace tevrano::sim
