// Note state and pedals: which keys are held, and by which pedal, and what
// a note on or off does in poly and mono play.
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

void VoiceTables::releaseKeysAndPedals()
{
  clearAll();
  portamento = legato = glideIdle = 0;
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

