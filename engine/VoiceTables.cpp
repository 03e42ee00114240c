#include "engine/VoiceTables.h"

#include <algorithm>
#include <cmath>

#include "engine/EngineCore.h"

void HeldNotes::append(int note, int velocity)
{
  if (mCount == kCapacity) removeAt(0);
  mEntries[mCount++] = {note, velocity};
}

void HeldNotes::removeAt(int i)
{
  for (int j = i + 1; j < mCount; ++j) mEntries[j - 1] = mEntries[j];
  --mCount;
}

bool HeldNotes::removeNewest(int note)
{
  for (int i = mCount - 1; i >= 0; --i)
    if (mEntries[i].note == note)
    {
      removeAt(i);
      return true;
    }
  return false;
}

bool HeldNotes::removeOldest(int note)
{
  for (int i = 0; i < mCount; ++i)
    if (mEntries[i].note == note)
    {
      removeAt(i);
      return true;
    }
  return false;
}

VoiceTables::VoiceTables(Voice* voiceRecords, const double* bend, EngineCore& core)
  : voices(voiceRecords), bendRatio(bend), mCore(core)
{
  std::fill(std::begin(enabled), std::end(enabled), 1);
  for (int i = 0; i < kNumVoices; ++i) voiceOrder[i] = kNumVoices - 1 - i;
  resetUseFor();
}

// ---- Note state and pedals -------------------------------------------------

void VoiceTables::noteOn(int note, double velocity, int offset)
{
  if (note < 0 || note > 127) return;
  if (glideOn() && !pressed[note])
  {
    pressed[note] = 1;
    assign(note, velocity, offset);
    return;
  }
  if (!sustained[note] && !sostenuted[note])
  {
    if (pressed[note]) return;
    pressed[note] = 1;
    assign(note, velocity, offset);
    if (sustainPedal) sustained[note] = 1;
    return;
  }
  // Held by a pedal: the sounding voice takes the new velocity.
  for (int v = 0; v < kNumVoices; ++v)
    if (voices[v].note() == note && voices[v].chain().env().stage == Envelope::kSustain)
    {
      voices[v].glideVelocity(velocity, 50);
      return;
    }
}

void VoiceTables::releaseTopAtEnd()
{
  if (!glideInRelease) voices[top()].stopGlideAtRelease();
  releaseVoice(top());
}

void VoiceTables::noteOff(int note)
{
  if (note < 0 || note > 127) return;
  pressed[note] = 0;
  if (glideOn() && topNote() == note)
  {
    heldNotes.removeNewest(note);
    if (mode == kPoly)
    {
      if (!legato) releaseVoice(top());
    }
    else if (heldNotes.empty())
    {
      if (!legato) releaseTopAtEnd();
    }
    else
      glideBack(top(), note);
    return;
  }
  if (!sustained[note] && !sostenuted[note]) releaseNote(note, false);
}

void VoiceTables::releaseNote(int note, bool fromBack)
{
  if (mode == kPoly)
  {
    if (fromBack)
      heldNotes.removeNewest(note);
    else
      heldNotes.removeOldest(note);
    if (fromBack)
    {
      if (!legato) releaseVoice(top());
      return;
    }
    for (int v : voiceOrder)
      if (!releasing[v] && voices[v].note() == note)
      {
        releaseVoice(v);
        return;
      }
    return;
  }
  if (!fromBack)
    for (int v : voiceOrder)
      if (!releasing[v] && voices[v].note() == note && (v != top() || monoRestart))
      {
        releaseVoice(v);
        return;
      }
  heldNotes.removeNewest(note);
  if (heldNotes.empty())
  {
    if (!legato) releaseTopAtEnd();
  }
  else
    glideBack(top(), note);
}

void VoiceTables::glideBack(int v, int released)
{
  Voice& voice = voices[v];
  if (rearticulateBack && voice.note() == released) setVoiceStage(v, Envelope::kAttack);
  const HeldNotes::Entry& back = heldNotes.newest();
  voice.retune(back.note, glideSamples);
  voice.glideVelocity(back.velocity, glideSamples);
}

void VoiceTables::handOverHeldKey()
{
  const int key = topNote();
  if (key < 0 || key > 127 || !pressed[key]) return;
  sostenuted[key] = sustained[key] = 0;
  glideIdle = 0;
}

// A pedal going down holds every key held by the other pedal, and every
// pressed key except the one a glide is heading from.
void VoiceTables::holdKeys(uint8_t* held, const uint8_t* other)
{
  for (int k = 0; k < 128; ++k)
    if (other[k] || (pressed[k] && !keyHeldByTop(k))) held[k] = 1;
}

// A pedal coming up lets go of a key unless the other pedal still holds it.
void VoiceTables::letGoKey(int k, const uint8_t* other)
{
  if (!pressed[k])
  {
    if (!other[k]) releaseNote(k, false);
  }
  else if (keyHeldByTop(k) && !other[k])
    releaseNote(k, false);
}

void VoiceTables::engageGlidePedal(uint8_t* pedalFlag)
{
  if (!portamento && !legato)
  {
    glideIdle = 1;
    handOverHeldKey();
  }
  *pedalFlag = 1;
}

void VoiceTables::sustainChanged(bool on)
{
  sustainPedal = on;
  if (on)
  {
    holdKeys(sustained, sostenuted);
    return;
  }
  for (int k = 0; k < 128; ++k)
  {
    if (!sustained[k]) continue;
    if (sostenutoTransfer && !sostenutoWithoutSustain && sostenutoPedal)
      sostenuted[k] = 1;  // the key moves from sustain to sostenuto
    else
      letGoKey(k, sostenuted);
    sustained[k] = 0;
  }
}

void VoiceTables::sostenutoChanged(bool on)
{
  sostenutoPedal = on;
  sostenutoWithoutSustain = on && !sustainPedal;
  if (on)
  {
    holdKeys(sostenuted, sustained);
    return;
  }
  for (int k = 0; k < 128; ++k)
  {
    if (!sostenuted[k]) continue;
    letGoKey(k, sustained);
    sostenuted[k] = 0;
  }
}

void VoiceTables::legatoUp()
{
  legato = 0;
  const int key = topNote();
  const bool keyDown = key >= 0 && key <= 127 && pressed[key];
  if (!keyDown && isActive(top()) && !glideIdle) releaseVoice(top());
  if (!portamento) glideIdle = 0;
}

void VoiceTables::pedal(int kind, bool on)
{
  switch (kind)
  {
    case 0:
      if (on != (sustainPedal != 0)) sustainChanged(on);
      return;
    case 1:
      if (on != (sostenutoPedal != 0)) sostenutoChanged(on);
      return;
    case 2:
      if (on)
        engageGlidePedal(&portamento);
      else
      {
        portamento = 0;
        if (!legato) glideIdle = 0;
      }
      return;
    case 3:
      if (on)
        engageGlidePedal(&legato);
      else if (legato)
        legatoUp();
      return;
    default: return;
  }
}

void VoiceTables::clearAll()
{
  for (int v = 0; v < kNumVoices; ++v)
    if (voices[v].started()) releaseVoice(v);
  heldNotes.clear();
  std::fill(std::begin(pressed), std::end(pressed), 0);
  std::fill(std::begin(sustained), std::end(sustained), 0);
  std::fill(std::begin(sostenuted), std::end(sostenuted), 0);
  sustainPedal = sostenutoPedal = 0;
}

void VoiceTables::setMode(int m)
{
  monoRestart = mode == kPoly && m == kMono;
  mode = m;
}

void VoiceTables::setGlideSeconds(double seconds)
{
  const int samples = std::max(1, static_cast<int>(mCore.rates().sampleRate * seconds));
  const double scale = static_cast<double>(glideSamples) / (mCore.rates().sampleRate * seconds);
  for (int v = 0; v < kNumVoices; ++v)
  {
    voices[v].scaleGlides(scale);
  }
  glideSamples = samples;
}

void VoiceTables::newBendRatio()
{
  for (int v = 0; v < kNumVoices; ++v)
  {
    const int note = voices[v].note();
    if ((note >= 0 && note <= 127 && sostenuted[note]) || bendDeferred[v])
      bendDeferred[v] = 1;
    else
      voices[v].setBend(*bendRatio);
  }
}

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
  if (v >= 0) startVoice(v, note, velocity, offset);
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
