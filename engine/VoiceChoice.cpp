// Which voice takes a note, which is stolen when none is free, and the
// "use for" table that reserves voices for pitch classes.
#include <algorithm>
#include <cmath>

#include "engine/EngineCore.h"
#include "engine/VoiceTables.h"

// ---- Voice choice ------------------------------------------------------------

void VoiceTables::setVoiceStage(int v, int stage)
{
  voices[v].setStage(stage);
  releasing[v] = stage == Envelope::kRelease;
}

int VoiceTables::lowestIdleEnabled() const
{
  for (int v = 0; v < kNumVoices; ++v)
    if (enabled[v] && !isActive(v)) return v;
  return -1;
}

int VoiceTables::pickVoiceForNote(int note)
{
  const int pc = PitchClass(note);
  int countA = 0, countB = 0, countC = 0, lowestA = -1;
  for (int v = 0; v < kNumVoices; ++v)
  {
    const bool a = useFor[pc][v] != 0;
    if (a && lowestA < 0) lowestA = v;
    countA += a;
    countB += enabled[v] != 0;
    countC += a && enabled[v];
  }
  if (countA == 0) return -1;
  auto lowestIdleInC = [&] {
    for (int v = 0; v < kNumVoices; ++v)
      if (useFor[pc][v] && enabled[v] && !isActive(v)) return v;
    return -1;
  };

  if (countC == countB || countC == countA)
  {
    const int v = activeCount < maxActive ? lowestIdleInC() : -1;
    return v >= 0 ? v : steal(note);
  }
  if (countC == 0)
  {
    int off = lowestIdleEnabled();
    if (off < 0)
    {
      off = steal(note);
      if (off >= 0 && !releasing[off]) releaseVoice(off);
    }
    if (off >= 0) enabled[off] = 0;
    enabled[lowestA] = 1;
    return lowestA;
  }
  if (activeCount < maxActive)
  {
    const int v = lowestIdleInC();
    if (v >= 0) return v;
  }
  int samePitch = 0;
  for (int v = 0; v < kNumVoices; ++v)
    samePitch += enabled[v] && isActive(v) && voices[v].note() >= 0 && PitchClass(voices[v].note()) == pc;
  for (int v : voiceOrder)
  {
    const bool inD = enabled[v] && isActive(v) && voices[v].note() >= 0 && PitchClass(voices[v].note()) == pc;
    const bool inC = useFor[pc][v] && enabled[v];
    if (samePitch >= 2 ? inD : inC) return v;
  }
  return -1;
}

int VoiceTables::steal(int note)
{
  auto candidate = [&](int v) { return isActive(v) && enabled[v]; };
  auto releasingCandidate = [&](int v) { return candidate(v) && releasing[v]; };
  bool anyReleasing = false;
  for (int v : voiceOrder) anyReleasing |= releasingCandidate(v);

  if (anyReleasing)
  {
    const bool topPlaysNote = voices[top()].note() == note;
    for (int v : voiceOrder)
      if (releasingCandidate(v) && (topPlaysNote ? v != top() : voices[v].note() == note)) return v;
  }
  for (int i = kNumVoices - 1; i >= 0; --i)
    if (candidate(voiceOrder[i]) && voices[voiceOrder[i]].note() == note) return voiceOrder[i];
  for (int v : voiceOrder)
    if (releasingCandidate(v)) return v;

  // The quietest of the stealWindow least recent candidates; past them only
  // when none was found. Positions count candidates, so disabled voices at
  // the front of the order do not use up the window.
  int chosen = -1, position = 0;
  double best = 1000.0;
  for (int v : voiceOrder)
  {
    if (!candidate(v)) continue;
    const int pos = position++;
    if (voices[v].gain() >= best) continue;
    if (chosen >= 0 && pos >= stealWindow) break;
    chosen = v;
    best = voices[v].gain();
  }
  return chosen;
}

void VoiceTables::assign(int note, double velocity, int offset)
{
  int v;
  if (glideOn() && !glideIdle)
    v = top();
  else if (mode == kPoly)
    v = requestedVoice >= 0 ? requestedVoice : pickVoiceForNote(note);
  else if (requestedVoice >= 0)
  {
    v = requestedVoice;
    if (top() != v && !releasing[top()]) releaseVoice(top());
  }
  else if (!monoRestart)
    v = top();
  else if (activeCount < maxActive)
    v = lowestIdleEnabled();
  else
    v = steal(note);
  // A voice whose buffer is not mapped yet is held back: the note waits for
  // no page fault and sounds no buffer that is not there.
  if (v >= 0 && mCore.voiceMemoryReady(v)) startVoice(v, note, velocity, offset);
}

void VoiceTables::startVoice(int v, int note, double velocity, int offset)
{
  Voice& voice = voices[v];
  const bool wasActive = isActive(v);
  bool glided = false;
  if (mode == kMono)
  {
    if (monoRestart)
    {
      heldNotes.clear();
      monoRestart = 0;
    }
    const bool mayGlide = (wasActive && !releasing[v]) || portamento || glideHead;
    const bool fromSomewhere = wasActive || (portamento && !glideIdle) || (glideHead && voice.note() >= 0);
    glided = mayGlide && fromSomewhere;
    const int steps = glided ? glideSamples : 50;
    voice.glideVelocity(velocity, steps);
    voice.retune(note, steps);
    if (!wasActive || releasing[v] || rearticulateFwd) setVoiceStage(v, Envelope::kAttack);
  }
  else
  {
    if (portamento && !glideIdle)
    {
      voice.glideVelocity(velocity, glideSamples);
      voice.retune(note, glideSamples);
      glided = true;
    }
    else if (wasActive || legato)
    {
      voice.glideVelocity(velocity, 50);
      voice.retune(note, 50);
    }
    else
    {
      voice.resetEnvelopes();
      voice.setNoteNow(note);
      voice.setVelocity(velocity);
    }
    if (!wasActive || releasing[v] || !legato || rearticulateFwd) setVoiceStage(v, Envelope::kAttack);
  }
  requestedVoice = -1;
  mCore.startVoice(v, offset, glided);
  glideIdle = 0;
  if (bendDeferred[v])
  {
    voice.setBend(*bendRatio);
    bendDeferred[v] = 0;
  }
  markVoiceUsed(v, note, velocity);
  peakObservers(v);
}

void VoiceTables::markVoiceUsed(int v, int note, double velocity)
{
  int at = 0;
  while (voiceOrder[at] != v) ++at;
  for (; at < kNumVoices - 1; ++at) voiceOrder[at] = voiceOrder[at + 1];
  voiceOrder[kNumVoices - 1] = v;
  heldNotes.append(note, static_cast<int>(velocity));
  if (!voices[v].active())
  {
    voices[v].setActive(true);
    ++activeCount;
    activationObservers(v);
  }
}

void VoiceTables::voiceDeactivated(int v)
{
  if (voices[v].active()) --activeCount;
  voices[v].setActive(false);
  releasing[v] = 0;
}

void VoiceTables::disableHighestOtherThan(int v)
{
  for (int i = kNumVoices - 1; i >= 0; --i)
    if (i != v && enabled[i])
    {
      enabled[i] = 0;
      return;
    }
}

void VoiceTables::requestVoice(int v)
{
  if (v < 0 || v >= kNumVoices || enabled[v]) return;
  disableHighestOtherThan(v);
  enabled[v] = 1;
}

void VoiceTables::setMaxActive(int n)
{
  if (n > maxActive)
  {
    int toEnable = n - maxActive;
    for (int v = 0; v < kNumVoices && toEnable > 0; ++v)
      if (!enabled[v])
      {
        enabled[v] = 1;
        --toEnable;
      }
  }
  else if (n < maxActive)
  {
    int busy = 0;
    for (int v = 0; v < kNumVoices; ++v) busy += enabled[v] && isActive(v);
    const int excess = std::max(busy - n, 0);
    int toDisable = maxActive - n - excess;
    for (int v = kNumVoices - 1; v >= 0 && toDisable > 0; --v)
      if (enabled[v] && !isActive(v))
      {
        enabled[v] = 0;
        --toDisable;
      }
    const int protectedVoice = top();
    const uint8_t protectedFlag = enabled[protectedVoice];
    enabled[protectedVoice] = 0;
    for (int k = 0; k < excess; ++k)
    {
      const int note = FoldNote(voices[voiceOrder[kNumVoices - 1 - k]].note());
      const int stolen = steal(note);
      if (stolen < 0) continue;
      releaseVoice(stolen);
      enabled[stolen] = 0;
    }
    enabled[protectedVoice] = protectedFlag;
  }
  if (requestedVoice >= 0 && !enabled[requestedVoice]) requestVoice(requestedVoice);
  maxActive = n;
  stealWindow = static_cast<int>(std::ceil(n * 0.33));
}

// ---- The "use for" table -----------------------------------------------------

void VoiceTables::setPickedColumn(int picked, bool value)
{
  for (auto& row : useFor) row[picked] = value;
}

void VoiceTables::setKeyRow(int pitchClass, bool value)
{
  std::fill(std::begin(useFor[pitchClass]), std::end(useFor[pitchClass]), value);
}

void VoiceTables::resetUseFor()
{
  for (auto& row : useFor) std::fill(std::begin(row), std::end(row), 1);
}
