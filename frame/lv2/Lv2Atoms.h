#pragma once
// Reading the atoms an LV2 host writes, trusting none of their sizes: every
// event and every object property is checked against what is left of its
// container before it is read, in 64-bit arithmetic so no claimed size can
// wrap an offset. What does not fit is skipped; where the rest of the
// container can still be found, it is read on.
#include <cstdint>
#include <cstring>

#include <lv2/atom/atom.h>

namespace lv2_atoms {

constexpr uint64_t Padded(uint64_t size) { return (size + 7u) & ~uint64_t{7}; }

// Calls f(frames, atom) for every event of the sequence that lies wholly
// inside it, in order; an event whose header or body runs past the end ends
// the walk, since nothing after it can be found. A sequence of another type,
// or too short for its own header, has no events.
template <typename F>
void ForEachEvent(const LV2_Atom_Sequence* seq, uint32_t sequenceType, F&& f)
{
  if (!seq || seq->atom.type != sequenceType || seq->atom.size < sizeof(LV2_Atom_Sequence_Body)) return;
  const auto* body = reinterpret_cast<const uint8_t*>(&seq->body);
  const uint64_t end = seq->atom.size;
  for (uint64_t at = sizeof(LV2_Atom_Sequence_Body); at + sizeof(LV2_Atom_Event) <= end;)
  {
    const auto* ev = reinterpret_cast<const LV2_Atom_Event*>(body + at);
    const uint64_t bodyEnd = at + sizeof(LV2_Atom_Event) + ev->body.size;
    if (bodyEnd > end) return;
    f(ev->time.frames, &ev->body);
    at += sizeof(LV2_Atom_Event) + Padded(ev->body.size);
  }
}

// Calls f(key, value) for every property of an object atom whose value lies
// inside the object; one that runs past it ends the walk.
template <typename F>
void ForEachProperty(const LV2_Atom* object, F&& f)
{
  if (object->size < sizeof(LV2_Atom_Object_Body)) return;
  const auto* body = reinterpret_cast<const uint8_t*>(object + 1);
  const uint64_t end = object->size;
  for (uint64_t at = sizeof(LV2_Atom_Object_Body); at + sizeof(LV2_Atom_Property_Body) <= end;)
  {
    const auto* property = reinterpret_cast<const LV2_Atom_Property_Body*>(body + at);
    const uint64_t valueEnd = at + sizeof(LV2_Atom_Property_Body) + property->value.size;
    if (valueEnd > end) return;
    f(property->key, &property->value);
    at += sizeof(LV2_Atom_Property_Body) + Padded(property->value.size);
  }
}

// The object's type; 0 when the atom is too short to have one.
inline uint32_t ObjectType(const LV2_Atom* object)
{
  if (object->size < sizeof(LV2_Atom_Object_Body)) return 0;
  return reinterpret_cast<const LV2_Atom_Object*>(object)->body.otype;
}

// The atom's body read as a T when it holds one; false when it is shorter.
template <typename T>
bool Body(const LV2_Atom* atom, T* out)
{
  if (atom->size < sizeof(T)) return false;
  std::memcpy(out, atom + 1, sizeof(T));
  return true;
}

}  // namespace lv2_atoms
