#pragma once
// The plug-in's editor as a VST3 view: opened in the host's window (an X11
// window, driven by the host's run loop, or a Windows window), fixed in size.
#include <atomic>

#include "platform/vst3abi.h"

class IPlugVST3;

class Vst3View final : public vst3::IPlugView, public vst3::ITimerHandler, public vst3::IEventHandler
{
public:
  // Keeps the adapter alive while the view lives.
  explicit Vst3View(IPlugVST3& adapter);
  ~Vst3View();
  Vst3View(const Vst3View&) = delete;
  Vst3View& operator=(const Vst3View&) = delete;

  vst3::tresult queryInterface(const vst3::TUID iid, void** obj) override;
  uint32_t addRef() override;
  uint32_t release() override;

  vst3::tresult isPlatformTypeSupported(vst3::FIDString type) override;
  vst3::tresult attached(void* parent, vst3::FIDString type) override;
  vst3::tresult removed() override;
  vst3::tresult onWheel(float) override { return vst3::kResultFalse; }
  vst3::tresult onKeyDown(vst3::TChar, int16_t, int16_t) override { return vst3::kResultFalse; }
  vst3::tresult onKeyUp(vst3::TChar, int16_t, int16_t) override { return vst3::kResultFalse; }
  vst3::tresult getSize(vst3::ViewRect* size) override;
  vst3::tresult onSize(vst3::ViewRect* newSize) override;
  vst3::tresult onFocus(vst3::TBool) override { return vst3::kResultOk; }
  vst3::tresult setFrame(vst3::IPlugFrame* frame) override;
  vst3::tresult canResize() override { return vst3::kResultFalse; }
  vst3::tresult checkSizeConstraint(vst3::ViewRect* rect) override;

  // The host's run loop calls these on its user-interface thread.
  void onTimer() override;
  void onFDIsSet(int fd) override;

private:
  static constexpr uint64_t kTimerMs = 15;
  // The host's run loop takes our timer and the window's events (Linux).
  bool JoinRunLoop();
  void LeaveRunLoop();

  IPlugVST3& mAdapter;
  std::atomic<uint32_t> mRefs{1};
  vst3::IPlugFrame* mFrame = nullptr;
  vst3::IRunLoop* mRunLoop = nullptr;
  bool mAttached = false;
};
