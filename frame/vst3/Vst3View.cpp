#include "frame/vst3/Vst3View.h"

#include <cstring>

#include "frame/vst3/IPlugVST3.h"

using namespace vst3;

namespace {
#if defined(_WIN32)
constexpr const char* kPlatform = kPlatformHwnd;
#else
constexpr const char* kPlatform = kPlatformX11;
#endif
}  // namespace

Vst3View::Vst3View(IPlugVST3& adapter) : mAdapter(adapter)
{
  static_cast<IComponent&>(mAdapter).addRef();
}

Vst3View::~Vst3View()
{
  if (mAttached) removed();
  setFrame(nullptr);
  mAdapter.ViewClosed();
  static_cast<IComponent&>(mAdapter).release();
}

tresult Vst3View::queryInterface(const TUID iid, void** obj)
{
  if (!obj) return kInvalidArgument;
  void* found = nullptr;
  if (FUnknown::kIid.Is(iid) || IPlugView::kIid.Is(iid)) found = static_cast<IPlugView*>(this);
  else if (ITimerHandler::kIid.Is(iid)) found = static_cast<ITimerHandler*>(this);
  else if (IEventHandler::kIid.Is(iid)) found = static_cast<IEventHandler*>(this);
  *obj = found;
  if (!found) return kNoInterface;
  addRef();
  return kResultOk;
}

uint32_t Vst3View::addRef()
{
  return ++mRefs;
}

uint32_t Vst3View::release()
{
  const uint32_t left = --mRefs;
  if (left == 0) delete this;
  return left;
}

tresult Vst3View::isPlatformTypeSupported(FIDString type)
{
  return type && std::strcmp(type, kPlatform) == 0 ? kResultTrue : kResultFalse;
}

// Opens the editor in the host's window. On Linux the editor lives on the
// host's run loop, so a host that offers none gets no editor.
tresult Vst3View::attached(void* parent, FIDString type)
{
  IEditorLink* editor = mAdapter.Plug().Editor();
  if (mAttached || !parent || !editor || isPlatformTypeSupported(type) != kResultTrue) return kResultFalse;
#if !defined(_WIN32)
  if (!JoinRunLoop()) return kResultFalse;
#endif
  if (!mAdapter.Plug().OpenEditor(parent))
  {
    LeaveRunLoop();
    return kResultFalse;
  }
  mAttached = true;
  if (mRunLoop && editor->EventSource() >= 0)
    mRunLoop->registerEventHandler(static_cast<IEventHandler*>(this), editor->EventSource());
  return kResultOk;
}

tresult Vst3View::removed()
{
  if (!mAttached) return kResultFalse;
  LeaveRunLoop();
  mAdapter.Plug().CloseEditor();
  mAttached = false;
  return kResultOk;
}

bool Vst3View::JoinRunLoop()
{
  if (!mFrame || mFrame->queryInterface(IRunLoop::kIid.Data(), reinterpret_cast<void**>(&mRunLoop)) != kResultOk ||
      !mRunLoop)
  {
    mRunLoop = nullptr;
    return false;
  }
  if (mRunLoop->registerTimer(static_cast<ITimerHandler*>(this), kTimerMs) == kResultOk) return true;
  mRunLoop->release();
  mRunLoop = nullptr;
  return false;
}

void Vst3View::LeaveRunLoop()
{
  if (!mRunLoop) return;
  mRunLoop->unregisterEventHandler(static_cast<IEventHandler*>(this));
  mRunLoop->unregisterTimer(static_cast<ITimerHandler*>(this));
  mRunLoop->release();
  mRunLoop = nullptr;
}

// The editor takes the lock itself, only while it picks up what changed.
void Vst3View::onTimer()
{
  if (mAttached) mAdapter.Plug().Editor()->Idle();
}

void Vst3View::onFDIsSet(int)
{
  onTimer();
}

tresult Vst3View::getSize(ViewRect* size)
{
  const IEditorLink* editor = mAdapter.Plug().Editor();
  if (!size || !editor) return kInvalidArgument;
  *size = {0, 0, editor->Width(), editor->Height()};
  return kResultOk;
}

tresult Vst3View::onSize(ViewRect* newSize)
{
  return newSize ? kResultOk : kInvalidArgument;
}

tresult Vst3View::checkSizeConstraint(ViewRect* rect)
{
  if (!rect) return kInvalidArgument;
  ViewRect fixed{};
  getSize(&fixed);
  *rect = {rect->left, rect->top, rect->left + fixed.right, rect->top + fixed.bottom};
  return kResultOk;
}

tresult Vst3View::setFrame(IPlugFrame* frame)
{
  if (frame) frame->addRef();
  if (mFrame) mFrame->release();
  mFrame = frame;
  return kResultOk;
}
