#pragma once
// Note, pedal and voice bookkeeping: which voice takes a note, which is
// released, when a voice glides instead of restarting, and which voice is
// stolen when none is free.
#include <cstdint>

#include "engine/Event.h"
#include "engine/Voice.h"

constexpr int kNumVoices = 32;
constexpr int kNumPitchClasses = 12;

class EngineCore;

// The notes in the order they were started, newest last. Fixed capacity:
// one entry per key; when full, the oldest entry gives way.
class HeldNotes
{
public:
  static constexpr int kCapacity = 128;
  struct Entry
  {
    int note;
    int velocity;
  };

  void append(int note, int velocity);
  bool removeNewest(int note);
  bool removeOldest(int note);
  void clear() { mCount = 0; }
  bool empty() const { return mCount == 0; }
  int size() const { return mCount; }
  const Entry& newest() const { return mEntries[mCount - 1]; }
  const Entry& at(int i) const { return mEntries[i]; }

private:
  void removeAt(int i);
  Entry mEntries[kCapacity];
  int mCount = 0;
};

class VoiceTables
{
public:
  enum EMode { kMono = 0, kPoly = 1 };

  VoiceTables(Voice* voices, const double* bendRatio, EngineCore& core);

  // Note state and pedals.
  void noteOn(int note, double velocity, int offset);
  void noteOff(int note);
  void pedal(int kind, bool on);
  void clearAll();
  // No key held and every pedal up, as after the host stopped and started us.
  void releaseKeysAndPedals();
  void setMode(int m);
  void setGlideSeconds(double seconds);
  void newBendRatio();

  // Voices.
  void assign(int note, double velocity, int offset);
  int pickVoiceForNote(int note);
  int steal(int note);
  void releaseVoice(int v) { setVoiceStage(v, Envelope::kRelease); }
  void setVoiceStage(int v, int stage);
  void releaseNote(int note, bool fromBack);
  void markVoiceUsed(int v, int note, double velocity);
  void setMaxActive(int n);
  void requestVoice(int v);
  void voiceDeactivated(int v);

  // The "use for" table and its editor actions.
  bool isUsedFor(int pitchClass, int voice) const { return useFor[pitchClass][voice] != 0; }
  void setPickedColumn(int picked, bool value);
  void setKeyRow(int pitchClass, bool value);
  void resetUseFor();

  int top() const { return voiceOrder[kNumVoices - 1]; }
  int topNote() const { return voices[top()].note(); }
  bool isActive(int v) const { return voices[v].active(); }
  bool glideOn() const { return legato || portamento; }

  Event<int> activationObservers;
  Event<int> peakObservers;

  int mode = kPoly;
  int requestedVoice = -1;
  uint8_t monoRestart = 0;
  uint8_t glideIdle = 0;
  uint8_t glideHead = 0;
  uint8_t glideInRelease = 0;
  uint8_t portamento = 0;
  uint8_t rearticulateFwd = 0;
  uint8_t rearticulateBack = 0;
  int glideSamples = 1000;
  int maxActive = kNumVoices;
  int activeCount = 0;
  int stealWindow = 11;
  HeldNotes heldNotes;
  uint8_t releasing[kNumVoices] = {};
  uint8_t enabled[kNumVoices];
  uint8_t stealOldest = 1;
  int voiceOrder[kNumVoices];
  uint8_t useFor[kNumPitchClasses][kNumVoices];
  uint8_t bendDeferred[kNumVoices] = {};
  uint8_t pressed[128] = {};
  uint8_t sustained[128] = {};
  uint8_t sostenuted[128] = {};
  uint8_t sustainPedal = 0;
  uint8_t sostenutoPedal = 0;
  uint8_t sostenutoTransfer = 1;
  uint8_t sostenutoWithoutSustain = 0;
  uint8_t legato = 0;
  Voice* voices;
  const double* bendRatio;

private:
  void startVoice(int v, int note, double velocity, int offset);
  void glideBack(int v, int released);
  void handOverHeldKey();
  void holdKeys(uint8_t* held, const uint8_t* other);
  void letGoKey(int k, const uint8_t* other);
  void engageGlidePedal(uint8_t* pedalFlag);
  void sustainChanged(bool on);
  void sostenutoChanged(bool on);
  void legatoUp();
  void releaseTopAtEnd();
  bool isTopNote(int key) const { return key == topNote(); }
  bool keyHeldByTop(int key) const { return glideOn() && isTopNote(key); }
  int lowestIdleEnabled() const;
  void disableHighestOtherThan(int v);
  EngineCore& mCore;
};
