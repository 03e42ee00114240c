#pragma once
// The host-independent plug-in object: parameters, presets, channels, the one
// recursive lock, the saved state's forms, and the operations the engine
// fills in. It reaches its host only through the host link its format's
// adapter gives it; each adapter drives it directly.
#include <algorithm>
#include <memory>
#include <mutex>
#include <vector>

#include "frame/ByteChunk.h"
#include "frame/IEditorLink.h"
#include "frame/IHostLink.h"
#include "frame/IParam.h"
#include "frame/IPlugStructs.h"

using IMutex = std::recursive_mutex;
using IMutexLock = std::lock_guard<std::recursive_mutex>;

enum EAPI { kAPIVST2 = 0, kAPIVST3 = 1, kAPIAU = 2, kAPIRTAS = 3, kAPIAAX = 4, kAPISA = 5 };

// A four-character code, as plug-in identities and vendor requests are spelled.
constexpr int32_t FourCharCode(char a, char b, char c, char d)
{
  return (static_cast<int32_t>(a) << 24) | (static_cast<int32_t>(b) << 16) | (static_cast<int32_t>(c) << 8) |
         static_cast<int32_t>(d);
}

// Packed version 0xMMMMRRPP.
constexpr int PackVersion(int major, int minor, int patch) { return (major << 16) | (minor << 8) | patch; }
constexpr int VersionToDecimal(int packed)
{
  return ((packed >> 16) * 100 + ((packed >> 8) & 0xFF)) * 100 + (packed & 0xFF);
}

class IPlugBase
{
public:
  static constexpr int kChunkMagic = 0x70666674;  // "tffp"
  static constexpr int kChunkVersion = 0x00010000;
  // The sample rates the instrument runs at; a host's other rates are refused.
  static constexpr double kMinSampleRate = 8000.0, kMaxSampleRate = 768000.0;
  static bool RunsAtSampleRate(double rate) { return rate >= kMinSampleRate && rate <= kMaxSampleRate; }
  // A host's tempo held to what music uses; no tempo (0 or less) stays 0.
  static constexpr double kMinTempo = 1.0, kMaxTempo = 1000.0;
  static double SaneTempo(double bpm) { return bpm > 0.0 ? std::min(std::max(bpm, kMinTempo), kMaxTempo) : 0.0; }

  IPlugBase(int nParams, const char* channelIOStr, int nPresets, const char* effectName,
            const char* productName, const char* mfrName, int vendorVersion, int uniqueID,
            int latency, bool plugDoesMidi, bool plugDoesChunks, bool plugIsInst);

  // Virtual operations, in their fixed slot order.
  virtual ~IPlugBase();
  virtual void Reset();
  virtual void OnParamChange(int paramIdx);
  virtual void ProcessDoubleReplacing(double** inputs, double** outputs, int nFrames);
  virtual void OnGUIOpen() {}
  virtual void OnGUIClose() {}
  virtual void OnIdle() {}
  virtual void OnActivate(bool active);
  // Maps memory a change off the audio thread has made the audio thread
  // need. Adapters call it outside the plug-in lock after such calls.
  virtual void PrepareMemory() {}
  virtual void ProcessMidiMsg(IMidiMsg* msg);
  virtual void ProcessSysEx(ISysEx* /*msg*/) {}
  virtual bool MidiNoteName(int noteNumber, char* name);
  virtual bool SerializeState(ByteChunk* chunk) { return SerializeParams(chunk); }
  virtual int UnserializeState(ByteChunk* chunk, int startPos) { return UnserializeParams(chunk, startPos); }
  // Where the state at startPos ends, without applying it; -1 when it does
  // not read whole. A bank is applied only when every preset in it reads.
  virtual int StateEnd(ByteChunk* chunk, int startPos);
  virtual bool CompareState(const unsigned char* incomingState, int startPos);
  virtual void OnWindowResize() {}
  virtual bool HostRequestingAboutBox() { return false; }
  virtual void OnHostIdentified() {}
  virtual void OnAfterHostIdentified() {}
  virtual void SetParameterFromGUI(int paramIdx, double normalizedValue);
  // The host, through the link its adapter gave (nothing without one).
  virtual void BeginInformHostOfParamChange(int paramIdx);
  virtual void InformHostOfParamChange(int paramIdx, double normalizedValue);
  virtual void EndInformHostOfParamChange(int paramIdx);
  virtual void InformHostOfProgramChange();
  virtual bool IsRenderingOffline();
  virtual int GetSamplePos();
  // The host's tempo held to what music uses; 0 when it gives none.
  virtual double GetTempo();
  virtual void GetTimeSig(int* numerator, int* denominator);
  virtual void GetTime(ITimeInfo* timeInfo);
  // The host's code from its product name (the host table); -1 while unknown.
  virtual int GetHost();
  virtual EAPI GetAPI() { return mAPI; }
  // Takes the editor; every parameter is marked for it to show.
  virtual void AttachEditor(std::unique_ptr<IEditorLink> editor);
  virtual void SetLatency(int samples);
  // No MIDI is sent.
  virtual bool SendMidiMsg(IMidiMsg* /*msg*/) { return false; }
  virtual bool SendSysEx(ISysEx* /*msg*/) { return false; }
  // Every parameter is marked for the editor.
  virtual void RedrawParamControls();
  virtual void OnPresetsChangedHook() {}
  virtual void PresetsChangedByHost() {}
  virtual void SetBlockSize(int blockSize);
  // A vendor-specific request the adapter does not answer itself; 0 for none.
  virtual intptr_t VendorSpecific(int32_t /*index*/, intptr_t /*value*/, void* /*ptr*/, float /*opt*/) { return 0; }

  // Parameters and channels.
  IParam* GetParam(int idx) { return idx >= 0 && idx < NParams() ? mParams[idx].get() : nullptr; }
  const IParam* GetParam(int idx) const
  {
    return idx >= 0 && idx < NParams() ? mParams[idx].get() : nullptr;
  }
  int NParams() const { return static_cast<int>(mParams.size()); }
  int NInChannels() const { return static_cast<int>(mInChannels.size()); }
  int NOutChannels() const { return static_cast<int>(mOutChannels.size()); }
  int NChannelIO() const { return static_cast<int>(mChannelIO.size()); }
  ChannelIO GetChannelIO(int i) const { return mChannelIO[static_cast<size_t>(i)]; }
  double GetSampleRate() const { return mSampleRate; }
  // False, and the rate stays, for one the instrument does not run at.
  bool SetSampleRate(double sampleRate)
  {
    if (!RunsAtSampleRate(sampleRate)) return false;
    mSampleRate = sampleRate;
    return true;
  }
  int GetBlockSize() const { return mBlockSize; }
  int GetLatency() const { return mLatency; }
  int GetTailSize() const { return mTailSize; }
  int GetUniqueID() const { return mUniqueID; }
  int GetEffectVersion(bool decimal) const { return decimal ? VersionToDecimal(mVersion) : mVersion; }
  const char* GetEffectName() const { return mEffectName; }
  const char* GetMfrName() const { return mMfrName; }
  const char* GetProductName() const { return mProductName; }
  bool DoesMIDI() const { return mDoesMIDI; }
  bool DoesStateChunks() const { return mStateChunks; }
  bool IsInstrument() const { return mIsInst; }
  IEditorLink* Editor() const { return mEditor.get(); }
  // The editor shows the parameter's new value at its next idle.
  void MarkParamForEditor(int paramIdx)
  {
    if (mEditor) mEditor->ParameterChanged(paramIdx);
  }
  IMutex& Mutex() { return mMutex; }
  void SetHostLink(IHostLink* link) { mHostLink = link; }
  IHostLink* HostLink() const { return mHostLink; }
  int HostVersion() const { return mHostVersion; }

  // A block through the engine in pieces of at most the block size: the
  // host's connected channels in order, doubles as they are, floats through
  // the channels' scratch (accumulate adds to the host's output). Call
  // with the lock held.
  void ProcessDoubleBlock(double** inputs, double** outputs, int frames);
  void ProcessFloatBlock(float** inputs, float** outputs, int frames, bool accumulate);

  // The saved state in the program form (header and engine state) or the
  // bank form; false when there is none to give.
  bool SaveState(ByteChunk* chunk, bool bank);
  // Applies a saved state of either form whole, or nothing: false when it
  // does not read. Under the lock.
  bool LoadState(const void* data, int64_t size, bool bank);
  // A value the host set, as its automation sets it: the value, its
  // effect, the editor told; NaN changes nothing. Under the lock.
  void SetParamFromHost(int paramIdx, double normalized);
  // The rate (as the float a VST 2.4 host passes) and the largest block,
  // each followed by a reset, in the order a VST 2.4 host sets them, so an
  // instance of any format is set up, and renders, alike. Under the lock.
  void SetRateAndBlock(double sampleRate, int maxBlock);
  // The editor in the host's window: what takes long (the pictures) before
  // the lock, the window under it; false when there is none or it did not open.
  bool OpenEditor(void* parentWindow);
  void CloseEditor();

  // A value typed as text: a number for a parameter shown as numbers, else
  // one of its display texts exactly; false (nothing changes) when not.
  bool SetParamFromText(int paramIdx, const char* text);
  // The value such text stands for, without setting it; false when none.
  bool ParamValueFromText(int paramIdx, const char* text, double* value) const;

  bool IsInChannelConnected(int idx) const;
  bool IsOutChannelConnected(int idx) const;
  void SetInputChannelConnections(int idx, int n, bool connected);
  void SetOutputChannelConnections(int idx, int n, bool connected);
  void LimitToStereoIO();
  bool LegalIO(int nIn, int nOut) const;
  const char* GetAPIString();

  // Presets.
  int NPresets() const { return static_cast<int>(mPresets.size()); }
  int GetCurrentPresetIdx() const { return mCurrentPresetIdx; }
  const IPreset* GetPreset(int idx) const
  {
    return idx >= 0 && idx < NPresets() ? mPresets[idx].get() : nullptr;
  }
  void MakeDefaultPreset(const char* name, int nPresets);
  bool RestorePreset(int idx);
  const char* GetPresetName(int idx) const;
  void ModifyCurrentPreset(const char* name = nullptr);
  bool SerializePresets(ByteChunk* chunk);
  // Nothing changes unless every preset reads whole.
  int UnserializePresets(ByteChunk* chunk, int startPos);
  int PresetsEnd(ByteChunk* chunk, int startPos);

  bool SerializeParams(ByteChunk* chunk);
  int UnserializeParams(ByteChunk* chunk, int startPos);
  void OnParamReset();

  static void InitChunkWithIPlugVer(ByteChunk* chunk);
  static int GetIPlugVerFromChunk(ByteChunk* chunk, int* pos);
  // The host table: the code for a product string (lower-cased, cut at 255
  // characters); 0 when unknown.
  static int LookUpHost(const char* productString);

protected:
  // Points a disconnected input at zeros and a disconnected output at its scratch.
  void AttachScratchBuffers();
  template <typename Connect, typename Collect>
  void ProcessInPieces(int frames, Connect&& connect, Collect&& collect);

  IMutex mMutex;
  char mEffectName[128] = {};
  char mProductName[128] = {};
  char mMfrName[128] = {};
  int mUniqueID;
  int mVersion;
  EAPI mAPI = kAPIVST2;
  int mHost = -1;
  int mHostVersion = 0;
  bool mStateChunks;
  bool mIsInst;
  bool mDoesMIDI;
  double mSampleRate = 44100.0;
  int mBlockSize = 0;
  int mLatency;
  int mTailSize = 0;
  int mCurrentPresetIdx = 0;
  std::unique_ptr<IEditorLink> mEditor;
  IHostLink* mHostLink = nullptr;

  std::vector<ChannelIO> mChannelIO;
  std::vector<std::unique_ptr<IParam>> mParams;
  std::vector<std::unique_ptr<IPreset>> mPresets;
  std::vector<double*> mInData;
  std::vector<double*> mOutData;
  std::vector<std::unique_ptr<InChannel>> mInChannels;
  std::vector<std::unique_ptr<OutChannel>> mOutChannels;
};
