#pragma once
// A multicast event: a fixed set of (handler, bound object) subscribers kept
// ordered by handler address, then object address. Raising it calls each in
// that order. Fixed capacity, so subscribing and raising never allocate.
#include <cstddef>
#include <cstdint>

template <typename... Args>
class Event
{
public:
  using Handler = void (*)(void* object, Args... args);
  static constexpr int kCapacity = 8;

  bool Subscribe(Handler handler, void* object)
  {
    if (mCount == kCapacity || !handler) return false;
    int at = mCount;
    while (at > 0 && Less(handler, object, mSubscribers[at - 1])) --at;
    for (int i = mCount; i > at; --i) mSubscribers[i] = mSubscribers[i - 1];
    mSubscribers[at] = {handler, object};
    ++mCount;
    return true;
  }

  void Unsubscribe(Handler handler, void* object)
  {
    for (int i = 0; i < mCount; ++i)
      if (mSubscribers[i].handler == handler && mSubscribers[i].object == object)
      {
        for (int j = i + 1; j < mCount; ++j) mSubscribers[j - 1] = mSubscribers[j];
        --mCount;
        return;
      }
  }

  void operator()(Args... args) const
  {
    for (int i = 0; i < mCount; ++i) mSubscribers[i].handler(mSubscribers[i].object, args...);
  }

  int Count() const { return mCount; }

private:
  struct Subscriber
  {
    Handler handler = nullptr;
    void* object = nullptr;
  };

  static bool Less(Handler handler, void* object, const Subscriber& other)
  {
    const auto h = reinterpret_cast<uintptr_t>(handler), oh = reinterpret_cast<uintptr_t>(other.handler);
    return h != oh ? h < oh : reinterpret_cast<uintptr_t>(object) < reinterpret_cast<uintptr_t>(other.object);
  }

  Subscriber mSubscribers[kCapacity];
  int mCount = 0;
};

// Binds a member function as an event handler: Subscribe(&Bind<&T::f>, obj).
template <auto Member, typename T, typename... Args>
void BindMember(void* object, Args... args)
{
  (static_cast<T*>(object)->*Member)(args...);
}
