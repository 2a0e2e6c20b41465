// SPDX-License-Identifier: MIT
#include <windows.h>
// After windows.h, which they need:
#include <audioclient.h>
#include <mmdeviceapi.h>
// The property keys then defined in this file, since no MinGW library has them:
#include <initguid.h>

#include <functiondiscoverykeys_devpkey.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <utility>

#include "platform/audio_device.h"
#include "platform/steady_clock.h"

// The sound device through WASAPI, the system's sound engine, which every output of the machine goes through.
// - Shared mode: the device stays the other programs' too, as a desktop's sound does on Linux; exclusive mode would
//   take it from them, and is mostly refused.
// - The engine converts: the frames go in as 16-bit stereo, both channels the same, at the rate asked for, and the
//   engine makes its mix format of them (commonly 32-bit float at 48 kHz; every Windows that Qt 6 runs on converts).
//   Raised to a higher mix rate the tone stays as the program chose it for the rate asked (15.5 kHz for DCF77 at
//   48 kHz, which small speakers still play); lowered, it would be filtered away (the carrier itself, played at
//   192 kHz, has nothing left at 48 kHz). So above the mix rate the mix rate is granted, and the tone chosen for it.
// - When a frame leaves, by the engine's own clock: IAudioClock gives the stream's position at the speakers and the
//   performance counter's reading when it was taken, which is the program's steady clock. Frames written and not yet
//   played are the queue, and the next frame written leaves the queue's length after that reading. The position
//   already counts the engine's and the device's delay, so nothing is added for them. Before the stream starts there
//   is no report: what is queued leaves from now.
// - A buffer of 40 ms, filled whenever the engine signals that it has taken a period's frames, on the sound thread,
//   which the multimedia class scheduler raises (platform/realtime.h), so that a busy machine does not starve it.
// - COM is entered by each opening, on the sound thread that opens and writes, and left by its close; the list
//   enters and leaves it on its own. A thread already in COM's single-threaded model keeps to it.

namespace platform {

namespace {

template <class Interface>
class Com {
 public:
  Com() = default;
  Com(const Com&) = delete;
  Com& operator=(const Com&) = delete;
  ~Com() {
    if (held_ != nullptr) held_->Release();
  }
  Interface* operator->() const { return held_; }
  Interface* Get() const { return held_; }
  Interface** Put() { return &held_; }
  void** PutVoid() { return reinterpret_cast<void**>(&held_); }

 private:
  Interface* held_ = nullptr;
};

constexpr WORD kChannels = 2, kBytesPerFrame = kChannels * sizeof(std::int16_t);
constexpr REFERENCE_TIME kBufferSteps = 400'000;  // 40 ms in the 100 ns steps of WASAPI and the file time
constexpr std::int64_t kStepsPerSecond = 10'000'000, kNanosPerSecond = 1'000'000'000;
// The engine takes frames every 10 ms: one that has taken none for this long has stopped.
constexpr DWORD kLongestWaitMilliseconds = 1'000;

// value * multiplier / divisor, without the product overflowing: positions and counters grow without end.
std::int64_t Scaled(std::uint64_t value, std::uint64_t multiplier, std::uint64_t divisor) {
  return static_cast<std::int64_t>(value / divisor * multiplier + value % divisor * multiplier / divisor);
}

bool EnterCom() { return SUCCEEDED(::CoInitializeEx(nullptr, COINIT_MULTITHREADED)); }

std::string Utf8(const wchar_t* text) {
  const int size = ::WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (size <= 1) return {};
  std::string converted(static_cast<std::size_t>(size), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, text, -1, converted.data(), size, nullptr, nullptr);
  converted.pop_back();
  return converted;
}

// "Speakers (Realtek(R) Audio)": the name Sound settings shows, and --audio takes.
std::string FriendlyName(IMMDevice* endpoint) {
  Com<IPropertyStore> properties;
  if (FAILED(endpoint->OpenPropertyStore(STGM_READ, properties.Put()))) return {};
  PROPVARIANT value;
  ::PropVariantInit(&value);
  std::string name;
  if (SUCCEEDED(properties->GetValue(PKEY_Device_FriendlyName, &value)) && value.vt == VT_LPWSTR) {
    name = Utf8(value.pwszVal);
  }
  ::PropVariantClear(&value);
  return name;
}

// What the engine mixes the endpoint's sound at, which decides the tone; without opening the endpoint.
std::string MixDescription(IMMDevice* endpoint) {
  Com<IAudioClient> client;
  WAVEFORMATEX* mix = nullptr;
  if (FAILED(endpoint->Activate(__uuidof(IAudioClient), CLSCTX_ALL, nullptr, client.PutVoid())) ||
      FAILED(client->GetMixFormat(&mix))) {
    return {};
  }
  std::string described = "mixed at " + std::to_string(mix->nSamplesPerSec) + " Hz";
  ::CoTaskMemFree(mix);
  return described;
}

HRESULT FindEndpoint(IMMDeviceEnumerator* enumerator, const char* name, IMMDevice** found) {
  if (std::strcmp(name, "default") == 0) {
    const HRESULT result = enumerator->GetDefaultAudioEndpoint(eRender, eConsole, found);
    return result == E_NOTFOUND ? HRESULT_FROM_WIN32(ERROR_BAD_UNIT) : result;
  }
  Com<IMMDeviceCollection> endpoints;
  UINT count = 0;
  HRESULT result = enumerator->EnumAudioEndpoints(eRender, DEVICE_STATE_ACTIVE, endpoints.Put());
  if (SUCCEEDED(result)) result = endpoints->GetCount(&count);
  for (UINT index = 0; SUCCEEDED(result) && index < count; ++index) {
    result = endpoints->Item(index, found);
    if (SUCCEEDED(result) && FriendlyName(*found) == name) return S_OK;
    if (SUCCEEDED(result)) (*found)->Release();
    *found = nullptr;
  }
  return FAILED(result) ? result : HRESULT_FROM_WIN32(ERROR_BAD_UNIT);
}

// The system's message table has no words for the sound engine's own errors: each that its words can tell is told so,
// the others by their number.
SystemError AsSystemError(HRESULT result) {
  switch (result) {
    case AUDCLNT_E_DEVICE_INVALIDATED: return ERROR_DEVICE_REMOVED;
    case AUDCLNT_E_RESOURCES_INVALIDATED: return ERROR_DEVICE_REINITIALIZATION_NEEDED;
    case AUDCLNT_E_SERVICE_NOT_RUNNING: return ERROR_SERVICE_NOT_ACTIVE;
    case AUDCLNT_E_DEVICE_IN_USE:
    case AUDCLNT_E_EXCLUSIVE_MODE_NOT_ALLOWED: return ERROR_BUSY;
    case AUDCLNT_E_ENDPOINT_CREATE_FAILED: return ERROR_GEN_FAILURE;
    case AUDCLNT_E_UNSUPPORTED_FORMAT: return ERROR_NOT_SUPPORTED;
    default: break;
  }
  if (HRESULT_FACILITY(result) == FACILITY_WIN32) return HRESULT_CODE(result);
  return static_cast<SystemError>(result);
}

// Unplugged, its service stopped, its format changed, taken by a program that uses it alone: the endpoint is away
// until it is opened afresh.
AudioResult Failure(HRESULT result, SystemError& error) {
  error = AsSystemError(result);
  switch (result) {
    case AUDCLNT_E_DEVICE_INVALIDATED:
    case AUDCLNT_E_RESOURCES_INVALIDATED:
    case AUDCLNT_E_SERVICE_NOT_RUNNING:
    case AUDCLNT_E_DEVICE_IN_USE:
    case AUDCLNT_E_EXCLUSIVE_MODE_NOT_ALLOWED:
    case E_ACCESSDENIED: return AudioResult::Gone;
    default: return AudioResult::Failed;
  }
}

}  // namespace

struct AudioDevice {
  bool inCom = false;            // entered COM at the opening, to leave it at the close
  HANDLE periodTaken = nullptr;  // signalled by the engine as it takes each period's frames
  Com<IAudioClient> client;
  Com<IAudioRenderClient> render;
  Com<IAudioClock> clock;
  int rate = 0;
  UINT32 bufferFrames = 0;
  UINT64 clockFrequency = 0;
  std::uint64_t written = 0;  // frames, since the stream started
  bool started = false;
};

namespace {

HRESULT Open(AudioDevice& device, const char* name, int rate) {
  Com<IMMDeviceEnumerator> enumerator;
  Com<IMMDevice> endpoint;
  WAVEFORMATEX* mix = nullptr;
  device.periodTaken = ::CreateEventW(nullptr, FALSE, FALSE, nullptr);
  HRESULT result = device.periodTaken != nullptr ? S_OK : HRESULT_FROM_WIN32(::GetLastError());
  if (SUCCEEDED(result)) {
    result = ::CoCreateInstance(__uuidof(MMDeviceEnumerator), nullptr, CLSCTX_ALL, __uuidof(IMMDeviceEnumerator),
                                enumerator.PutVoid());
  }
  if (SUCCEEDED(result)) result = FindEndpoint(enumerator.Get(), name, endpoint.Put());
  if (SUCCEEDED(result)) {
    result = endpoint->Activate(__uuidof(IAudioClient), CLSCTX_ALL, nullptr, device.client.PutVoid());
  }
  if (SUCCEEDED(result)) result = device.client->GetMixFormat(&mix);
  if (FAILED(result)) return result;
  device.rate = std::min(rate, static_cast<int>(mix->nSamplesPerSec));
  ::CoTaskMemFree(mix);
  const auto frameRate = static_cast<DWORD>(device.rate);
  const WAVEFORMATEX format{WAVE_FORMAT_PCM, kChannels, frameRate, frameRate * kBytesPerFrame, kBytesPerFrame, 16, 0};
  result = device.client->Initialize(
      AUDCLNT_SHAREMODE_SHARED,
      AUDCLNT_STREAMFLAGS_EVENTCALLBACK | AUDCLNT_STREAMFLAGS_AUTOCONVERTPCM | AUDCLNT_STREAMFLAGS_SRC_DEFAULT_QUALITY,
      kBufferSteps, 0, &format, nullptr);
  if (SUCCEEDED(result)) result = device.client->SetEventHandle(device.periodTaken);
  if (SUCCEEDED(result)) result = device.client->GetBufferSize(&device.bufferFrames);
  if (SUCCEEDED(result)) result = device.client->GetService(__uuidof(IAudioRenderClient), device.render.PutVoid());
  if (SUCCEEDED(result)) result = device.client->GetService(__uuidof(IAudioClock), device.clock.PutVoid());
  if (SUCCEEDED(result)) result = device.clock->GetFrequency(&device.clockFrequency);
  return result;
}

// Started once half the buffer is queued, so that the engine's first periods find frames.
HRESULT StartOnceQueued(AudioDevice& device) {
  if (device.started || device.written < device.bufferFrames / 2) return S_OK;
  device.started = true;
  return device.client->Start();
}

}  // namespace

std::vector<AudioDeviceInfo> ListAudioDevices() {
  std::vector<AudioDeviceInfo> devices;
  const bool inCom = EnterCom();
  {
    Com<IMMDeviceEnumerator> enumerator;
    Com<IMMDevice> fallback;
    Com<IMMDeviceCollection> endpoints;
    UINT count = 0;
    if (SUCCEEDED(::CoCreateInstance(__uuidof(MMDeviceEnumerator), nullptr, CLSCTX_ALL, __uuidof(IMMDeviceEnumerator),
                                     enumerator.PutVoid()))) {
      if (SUCCEEDED(enumerator->GetDefaultAudioEndpoint(eRender, eConsole, fallback.Put()))) {
        devices.push_back({"default", "the system's default output, now " + FriendlyName(fallback.Get())});
      }
      if (SUCCEEDED(enumerator->EnumAudioEndpoints(eRender, DEVICE_STATE_ACTIVE, endpoints.Put()))) {
        endpoints->GetCount(&count);
      }
    }
    for (UINT index = 0; index < count; ++index) {
      Com<IMMDevice> endpoint;
      if (FAILED(endpoints->Item(index, endpoint.Put()))) continue;
      std::string name = FriendlyName(endpoint.Get());
      if (!name.empty()) devices.push_back({std::move(name), MixDescription(endpoint.Get())});
    }
  }
  if (inCom) ::CoUninitialize();
  return devices;
}

AudioOpening OpenAudio(const char* name, int rate) {
  auto* device = new AudioDevice;
  device->inCom = EnterCom();
  const HRESULT result = Open(*device, name, rate);
  if (FAILED(result)) {
    CloseAudio(device);
    return {.error = AsSystemError(result)};
  }
  return {.device = device, .rate = device->rate};
}

AudioResult NextFrameTime(AudioDevice* device, std::int64_t& steadyNanos, SystemError& error) {
  std::int64_t reported = SteadyNanos();
  std::int64_t queued = static_cast<std::int64_t>(device->written);
  if (device->started) {
    UINT32 padding = 0;
    UINT64 position = 0, positionSteps = 0;
    HRESULT result = device->client->GetCurrentPadding(&padding);
    if (SUCCEEDED(result)) result = device->clock->GetPosition(&position, &positionSteps);
    if (FAILED(result)) return Failure(result, error);
    queued -= Scaled(position, static_cast<std::uint64_t>(device->rate), device->clockFrequency);
    // Nothing left for the engine, or played past what it was given: it has been filling in silence.
    if (padding == 0 || queued < 0) {
      error = ERROR_NO_MORE_ITEMS;
      return AudioResult::Underrun;
    }
    // The position's moment is the performance counter's, in 100 ns steps.
    if (positionSteps != 0) reported = static_cast<std::int64_t>(positionSteps) * (kNanosPerSecond / kStepsPerSecond);
  }
  steadyNanos = reported + queued * kNanosPerSecond / device->rate;
  return AudioResult::Done;
}

AudioResult WriteAudio(AudioDevice* device, const std::int16_t* frames, int count, SystemError& error) {
  for (auto done = 0U; done < static_cast<UINT32>(count);) {
    UINT32 padding = 0;
    HRESULT result = StartOnceQueued(*device);
    if (SUCCEEDED(result)) result = device->client->GetCurrentPadding(&padding);
    if (FAILED(result)) return Failure(result, error);
    const UINT32 room = std::min(device->bufferFrames - padding, static_cast<UINT32>(count) - done);
    if (room == 0) {  // a full buffer, so playing
      if (::WaitForSingleObject(device->periodTaken, kLongestWaitMilliseconds) == WAIT_OBJECT_0) continue;
      // An endpoint unplugged stops signalling, and says so when asked.
      result = device->client->GetCurrentPadding(&padding);
      if (FAILED(result)) return Failure(result, error);
      error = ERROR_TIMEOUT;
      return AudioResult::Failed;
    }
    BYTE* buffer = nullptr;
    result = device->render->GetBuffer(room, &buffer);
    if (FAILED(result)) return Failure(result, error);
    auto* stereo = reinterpret_cast<std::int16_t*>(buffer);
    for (UINT32 at = 0; at < room; ++at) stereo[kChannels * at] = stereo[kChannels * at + 1] = frames[done + at];
    result = device->render->ReleaseBuffer(room, 0);
    if (FAILED(result)) return Failure(result, error);
    done += room;
    device->written += room;
  }
  const HRESULT result = StartOnceQueued(*device);
  return FAILED(result) ? Failure(result, error) : AudioResult::Done;
}

// Stopped and emptied, its position back at 0: it starts again as a new stream, once half its buffer is queued.
void RestartAudio(AudioDevice* device) {
  device->client->Stop();
  device->client->Reset();
  device->written = 0;
  device->started = false;
}

void CloseAudio(AudioDevice* device) {
  if (device->started) device->client->Stop();
  if (device->periodTaken != nullptr) ::CloseHandle(device->periodTaken);
  const bool inCom = device->inCom;
  delete device;  // releases the engine's objects, which COM must still be entered for
  if (inCom) ::CoUninitialize();
}

}  // namespace platform
