#include "engine/MonoShiver.h"

#include <algorithm>
#include <cmath>


MonoShiver::MonoShiver(Voice* voiceRecords, VoiceSetter setter, const EngineRates* engineRates,
                       RandomSource* randomSource)
  : voices(voiceRecords), downDepth(std::pow(2.0, -2.0 / 12.0) - 1.0), upDepth(std::pow(2.0, 2.0 / 12.0) - 1.0),
    frequency(engineRates->sampleRate / 6000.0), voiceSetter(setter), rates(engineRates),
    random(randomSource)
{
  std::fill(std::begin(period), std::end(period), 6000);
  std::fill(std::begin(inversePeriod), std::end(inversePeriod), 1.0 / 6000.0);
  std::fill(std::begin(output), std::end(output), 1.0);
  if (amount == 0.0)
  {
    upRange = downRange = 0.0;
    for (int i = 0; i < kSlots; ++i) resetOutput(i);
  }
  else
  {
    updateRange();
    if (mode == SYNC_ALL) copyTimingFromSlot0();
  }
}

void MonoShiver::clampFactor(double& value) const
{
  value = std::min(value, 1.0 + upRange);
  value = std::max(value, 1.0 - downRange);
}

void MonoShiver::updateRange()
{
  upRange = amount * upDepth;
  downRange = -(amount * downDepth);
}

void MonoShiver::applyToVoice(int slot, int voice)
{
  double v = output[slot];
  clampFactor(v);
  voiceSetter(voices[voice], v);
}

void MonoShiver::advance(int i)
{
  if (counter[i] >= period[i])
  {
    counter[i] = 0;
    const int half = static_cast<int>(basePeriod * 0.5);
    period[i] = std::max(1, basePeriod + random->next() % (2 * half + 1) - half);
    inversePeriod[i] = 1.0 / period[i];
    previousRaw[i] = raw[i];
    segmentStart[i] = scaledTarget[i];
    raw[i] = random->next() * randomScale - 1.0;
    scaledTarget[i] = scaled(raw[i]);
    slope[i] = (scaledTarget[i] - offset[i]) * inversePeriod[i];
  }
  offset[i] += slope[i];
  ++counter[i];
}

void MonoShiver::rescale(int i)
{
  segmentStart[i] = scaled(previousRaw[i]);
  scaledTarget[i] = scaled(raw[i]);
  slope[i] = (scaledTarget[i] - segmentStart[i]) * inversePeriod[i];
  offset[i] = counter[i] * slope[i] + segmentStart[i];
}

void MonoShiver::copyTimingFromSlot0()
{
  for (int i = 1; i < kSlots; ++i)
  {
    period[i] = period[0];
    inversePeriod[i] = inversePeriod[0];
    counter[i] = counter[0];
  }
}

void MonoShiver::frameStep()
{
  if (mode == SYNC_ALL)
  {
    if (stopped) return;
    advance(0);
    updateOutput(0);
    applyToVoice(0, 0);
    for (int v = 1; v < kSlots; ++v)
      if (voices[v].active()) applyToVoice(0, v);
  }
  else
  {
    if (running && !stopped)
      for (int i = 0; i < kSlots; ++i)
      {
        if (!voices[i].active()) continue;
        advance(i);
        updateOutput(i);
        applyToVoice(i, i);
      }
  }
  if (amount == 0.0) stopped = 1;
}

void MonoShiver::voiceActivated(int v)
{
  if (mode == SYNC_ALL)
  {
    applyToVoice(0, v);
    return;
  }
  if (amount == 0.0)
  {
    offset[v] = slope[v] = 0.0;
    resetOutput(v);
    applyToVoice(v, v);
  }
  else
    rescale(v);
}

void MonoShiver::setAmount(double v)
{
  amount = v;
  if (v == 0.0)
    upRange = downRange = 0.0;
  else
    updateRange();
  if (mode == SYNC_ALL) copyTimingFromSlot0();
  if (amount == 0.0)
  {
    std::fill(std::begin(offset), std::end(offset), 0.0);
    std::fill(std::begin(slope), std::end(slope), 0.0);
  }
  else
  {
    stopped = 0;
    if (mode == SYNC_ALL)
      rescale(0);
    else
      for (int i = 0; i < kSlots; ++i) rescale(i);
  }
  running = voices[0].notes().wobbleFactor() != 0.0;
}

void MonoShiver::setFrequency(double hz)
{
  const double scale = rates->sampleRate / (basePeriod * hz);
  const double slopeScale = basePeriod * hz / rates->sampleRate;
  basePeriod = std::max(1, static_cast<int>(rates->sampleRate / hz));
  frequency = hz;
  const int slots = mode == SYNC_ALL ? 1 : kSlots;
  for (int i = 0; i < slots; ++i)
  {
    period[i] = std::max(1, static_cast<int>(period[i] * scale));
    counter[i] = std::min(period[i], static_cast<int>(counter[i] * scale));
    slope[i] *= slopeScale;
    inversePeriod[i] *= slopeScale;
  }
}

void MonoShiver::setSync(bool on)
{
  if (!on)
  {
    mode = SYNC_NONE;
    return;
  }
  copyTimingFromSlot0();
  for (int i = 1; i < kSlots; ++i)
  {
    raw[i] = raw[0];
    previousRaw[i] = previousRaw[0];
    scaledTarget[i] = scaledTarget[0];
    segmentStart[i] = segmentStart[0];
    slope[i] = slope[0];
    offset[i] = offset[0];
    output[i] = output[0];
  }
  for (int i = 0; i < kSlots; ++i) rescale(i);
  mode = SYNC_ALL;
}

void MonoShiver::updateRate()
{
  setFrequency(frequency);
}
