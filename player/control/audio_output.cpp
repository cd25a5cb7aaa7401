#include "audio_output.h"

#include <algorithm>
#include <cstring>

#include "engine/sound/sound_mixer.h"

namespace tpl::player {
namespace {

WAVEFORMATEX MixFormat() {
  WAVEFORMATEX format{};
  format.wFormatTag = WAVE_FORMAT_PCM;
  format.nChannels = 2;
  format.nSamplesPerSec = swf::kMixRate;
  format.wBitsPerSample = 16;
  format.nBlockAlign = 4;
  format.nAvgBytesPerSec = swf::kMixRate * 4;
  return format;
}

}  // namespace

AudioOutput::AudioOutput(swf::SoundMixer& mixer)
    : mixer_(mixer),
      bufferDone_(::CreateEventW(nullptr, FALSE, FALSE, nullptr)),
      samples_(kBuffers * kFramesPerBuffer * 2) {
  if (!bufferDone_) return;
  wave_ = WaveOut();
  if (wave_ == nullptr) return;
  WAVEFORMATEX format = MixFormat();
  HWAVEOUT device = nullptr;
  if (wave_->open(&device, WAVE_MAPPER, &format, reinterpret_cast<DWORD_PTR>(bufferDone_.Get()), 0,
                    CALLBACK_EVENT) != MMSYSERR_NOERROR) {
    return;
  }
  device_.Reset(device);
  for (int i = 0; i < kBuffers; ++i) {
    WAVEHDR& header = headers_[i];
    header.lpData = reinterpret_cast<LPSTR>(samples_.data() + i * kFramesPerBuffer * 2);
    header.dwBufferLength = static_cast<DWORD>(kFramesPerBuffer * 4);
    wave_->prepareHeader(device_.Get(), &header, sizeof(header));
    header.dwFlags |= WHDR_DONE;  // free to fill
  }
  try {
    thread_ = std::thread([this] { Run(); });
  } catch (...) {
    wave_->reset(device_.Get());
    for (WAVEHDR& header : headers_) wave_->unprepareHeader(device_.Get(), &header, sizeof(header));
    device_.Reset();
  }
}

AudioOutput::~AudioOutput() {
  if (!device_) return;
  stopping_ = true;
  wave_->reset(device_.Get());  // silent at once; the buffers come back as done
  ::SetEvent(bufferDone_.Get());
  if (thread_.joinable()) thread_.join();
  for (WAVEHDR& header : headers_) wave_->unprepareHeader(device_.Get(), &header, sizeof(header));
}

void AudioOutput::Refill(WAVEHDR& header) noexcept {
  auto* samples = reinterpret_cast<std::int16_t*>(header.lpData);
  mixer_.Mix(std::span<std::int16_t>(samples, kFramesPerBuffer * 2));
  header.dwFlags &= ~static_cast<DWORD>(WHDR_DONE);
  wave_->write(device_.Get(), &header, sizeof(header));
}

void AudioOutput::Run() noexcept {
  while (!stopping_) {
    for (WAVEHDR& header : headers_) {
      if (stopping_) break;
      if (header.dwFlags & WHDR_DONE) Refill(header);
    }
    ::WaitForSingleObject(bufferDone_.Get(), 200);
  }
}

std::optional<swf::DecodedSound> DecodeMp3ThroughAcm(std::span<const std::uint8_t> frames, int /*rate*/,
                                                    int /*channels*/) noexcept {
  // The frames' own header decides: what the tag declares is often rounded (5.5 kHz for 8 kHz data).
  const std::optional<swf::Mp3FrameInfo> info = swf::ReadMp3FrameHeader(frames);
  if (!info || frames.size() > (64u << 20)) return std::nullopt;
  MPEGLAYER3WAVEFORMAT source{};
  source.wfx.wFormatTag = WAVE_FORMAT_MPEGLAYER3;
  source.wfx.nChannels = static_cast<WORD>(info->channels);
  source.wfx.nSamplesPerSec = static_cast<DWORD>(info->rate);
  source.wfx.nAvgBytesPerSec = static_cast<DWORD>(info->bitrateKbps * 125);
  source.wfx.nBlockAlign = 1;
  source.wfx.cbSize = MPEGLAYER3_WFX_EXTRA_BYTES;
  source.wID = MPEGLAYER3_ID_MPEG;
  source.fdwFlags = MPEGLAYER3_FLAG_PADDING_ISO;
  source.nBlockSize = static_cast<WORD>(info->frameBytes);
  source.nFramesPerBlock = 1;
  WAVEFORMATEX target{};
  target.wFormatTag = WAVE_FORMAT_PCM;
  target.nChannels = static_cast<WORD>(info->channels);
  target.nSamplesPerSec = static_cast<DWORD>(info->rate);
  target.wBitsPerSample = 16;
  target.nBlockAlign = static_cast<WORD>(2 * info->channels);
  target.nAvgBytesPerSec = target.nSamplesPerSec * target.nBlockAlign;
  const AcmFunctions* acm = Acm();
  if (acm == nullptr) return std::nullopt;
  UniqueAcmStream stream;
  if (acm->open(stream.Receive(), nullptr, &source.wfx, &target, nullptr, 0, 0, ACM_STREAMOPENF_NONREALTIME) !=
      MMSYSERR_NOERROR) {
    return std::nullopt;
  }
  try {
    swf::DecodedSound decoded{info->rate, info->channels, {}};
    std::vector<std::uint8_t> input(frames.begin(), frames.end());
    // Generous: an MP3 frame of the lowest bit rate still gives its samples per frame.
    const std::size_t frameCount = frames.size() / 24 + 2;
    std::vector<std::uint8_t> output(std::min<std::size_t>(frameCount * info->samplesPerFrame * target.nBlockAlign,
                                                           swf::kMaxDecodedFrames * target.nBlockAlign));
    ACMSTREAMHEADER header{};
    header.cbStruct = sizeof(header);
    header.pbSrc = input.data();
    header.cbSrcLength = static_cast<DWORD>(input.size());
    header.pbDst = output.data();
    header.cbDstLength = static_cast<DWORD>(output.size());
    if (acm->prepareHeader(stream.Get(), &header, 0) != MMSYSERR_NOERROR) return std::nullopt;
    const MMRESULT converted =
        acm->convert(stream.Get(), &header, ACM_STREAMCONVERTF_BLOCKALIGN | ACM_STREAMCONVERTF_START |
                                                      ACM_STREAMCONVERTF_END);
    const DWORD produced = header.cbDstLengthUsed;
    acm->unprepareHeader(stream.Get(), &header, 0);
    if (converted != MMSYSERR_NOERROR) return std::nullopt;
    decoded.samples.resize(produced / 2);
    std::memcpy(decoded.samples.data(), output.data(), decoded.samples.size() * 2);
    return decoded;
  } catch (...) {
    return std::nullopt;
  }
}

bool IsThumbnailWindow(HWND window) noexcept {
  const HWND root = ::GetAncestor(window, GA_ROOT);
  if (root == nullptr) return false;
  DWORD owner = 0;
  ::GetWindowThreadProcessId(root, &owner);
  if (root != window && owner != ::GetCurrentProcessId()) return true;
  BYTE alpha = 255;
  DWORD flags = 0;
  const bool layered = (::GetWindowLongPtrW(root, GWL_EXSTYLE) & WS_EX_LAYERED) != 0;
  return layered && ::GetLayeredWindowAttributes(root, nullptr, &alpha, &flags) && (flags & LWA_ALPHA) != 0 &&
         alpha == 0;
}

}  // namespace tpl::player
