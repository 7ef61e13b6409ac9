#include "update/download/receiving_thread.h"

#include <algorithm>
#include <atomic>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "update/download/http_receive.h"

namespace deskfind {
namespace {

// The thread's own waits end this much before the caller stops waiting, so that a thread that
// is not stuck in a call hands over, or cleans up, before the caller gives up on it.
DWORD HandOverMargin(DWORD totalMilliseconds) {
  return std::min<DWORD>(totalMilliseconds / 10, 1000);
}

class ExclusiveLock {
 public:
  explicit ExclusiveLock(SRWLOCK& lock) : lock_(lock) { AcquireSRWLockExclusive(&lock_); }
  ExclusiveLock(const ExclusiveLock&) = delete;
  ExclusiveLock& operator=(const ExclusiveLock&) = delete;
  ~ExclusiveLock() { ReleaseSRWLockExclusive(&lock_); }

 private:
  SRWLOCK& lock_;
};

}  // namespace

// Owned together by the caller and the thread: whichever goes last frees it.
struct ReceivingThread::Shared {
  Shared(std::wstring from, std::wstring to, const DownloadRules& limits, ULONGLONG start)
      : address(std::move(from)),
        target(std::move(to)),
        rules(limits),
        deadline(start, limits.totalMilliseconds - HandOverMargin(limits.totalMilliseconds)),
        handedOver(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
    rules.accept = nullptr;  // the caller's; the thread decides nothing
  }

  // Set before the thread starts.
  const std::wstring address;
  const std::wstring target;
  DownloadRules rules;
  const Deadline deadline;
  const EventHandle handedOver;

  DownloadProgress progress;
  std::atomic<bool> givenUp{false};  // the caller has gone; the thread cleans up after itself
  SRWLOCK lock = SRWLOCK_INIT;       // guards the hand-over against the giving up
  ReceivedBody body;
  // The file being written, until the hand-over: a caller that gives up has the system remove
  // it when it closes, in case the program ends before the thread's call returns.
  TemporaryFile* receiving = nullptr;
  bool callerDone = false;  // the caller has taken the body over or given the download up

  // Under the lock. The thread stops at its next piece of the body, and the system removes the
  // file being written, or the one handed over, when its handle closes.
  void GiveUp() {
    givenUp = true;
    if (receiving) receiving->RemoveWhenClosed();
    if (body.file) body.file->RemoveWhenClosed();
  }
};

// Every receiving thread started, kept until it has ended and its caller is done with it.
struct ReceivingThread::Running {
  ThreadHandle thread;
  std::shared_ptr<Shared> shared;
};

struct ReceivingThread::Registry {
  SRWLOCK lock = SRWLOCK_INIT;
  bool ending = false;  // the program is ending: no download starts
  std::vector<Running> threads;
};

// A thread that has ended, and whose caller is done with it, is forgotten.
bool ReceivingThread::HasEndedAndIsDone(const Running& running) {
  const ExclusiveLock lock(running.shared->lock);
  return running.shared->callerDone &&
         WaitForSingleObject(running.thread.Get(), 0) == WAIT_OBJECT_0;
}

// Never destroyed: nothing at the process's end may wait on a lock a thread still needs.
ReceivingThread::Registry& ReceivingThread::Threads() {
  static auto* const registry = new Registry;
  return *registry;
}

void ReceivingThread::GiveUpAll() {
  Registry& registry = Threads();
  const ExclusiveLock lock(registry.lock);
  registry.ending = true;
  for (Running& running : registry.threads) {
    const ExclusiveLock shared(running.shared->lock);
    if (!running.shared->callerDone) running.shared->GiveUp();
  }
}

bool ReceivingThread::AllEnded(DWORD milliseconds) {
  const Deadline deadline(GetTickCount64(), milliseconds);
  Registry& registry = Threads();
  const ExclusiveLock lock(registry.lock);  // the threads never take it
  return std::all_of(registry.threads.begin(), registry.threads.end(), [&](const Running& running) {
    return WaitForSingleObject(running.thread.Get(), deadline.Cut(milliseconds)) == WAIT_OBJECT_0;
  });
}

void ReceivingThread::EndOnceAllEnded(int exitCode) {
  // A thread that is not held in a call ends within milliseconds of being given up.
  constexpr DWORD kLongestEnd = 1000;
  if (!AllEnded(kLongestEnd)) TerminateProcess(GetCurrentProcess(), static_cast<UINT>(exitCode));
}

ReceivingThread::ReceivingThread(std::wstring address, std::wstring target,
                                 const DownloadRules& rules, ULONGLONG start)
    : shared_(std::make_shared<Shared>(std::move(address), std::move(target), rules, start)) {}

ReceivingThread::~ReceivingThread() {
  if (!finished_) static_cast<void>(TakeOverOrGiveUp());
}

bool ReceivingThread::Start() {
  if (!shared_->handedOver) return false;
  Registry& registry = Threads();
  const ExclusiveLock lock(registry.lock);
  if (registry.ending) return false;
  registry.threads.erase(
      std::remove_if(registry.threads.begin(), registry.threads.end(), HasEndedAndIsDone),
      registry.threads.end());
  registry.threads.reserve(registry.threads.size() + 1);  // nothing throws once it runs
  auto share = std::make_unique<std::shared_ptr<Shared>>(shared_);
  ThreadHandle thread(CreateThread(nullptr, 0, Receive, share.get(), 0, nullptr));
  if (!thread) return false;
  static_cast<void>(share.release());  // the thread's now
  registry.threads.push_back({std::move(thread), shared_});
  return true;
}

HANDLE ReceivingThread::HandedOver() const { return shared_->handedOver.Get(); }

const DownloadProgress& ReceivingThread::Progress() const { return shared_->progress; }

std::optional<ReceivedBody> ReceivingThread::TakeOverOrGiveUp() {
  finished_ = true;
  const ExclusiveLock lock(shared_->lock);
  shared_->callerDone = true;
  if (shared_->givenUp || WaitForSingleObject(shared_->handedOver.Get(), 0) != WAIT_OBJECT_0) {
    shared_->GiveUp();
    return std::nullopt;
  }
  return std::move(shared_->body);
}

namespace {

// The body into a temporary file beside the target, made once the server has answered, which
// the caller learns of at once: one that gives up has the system remove it.
class FileSink final : public BodySink {
 public:
  FileSink(const std::wstring& target, std::unique_ptr<TemporaryFile>& file,
           std::function<void(TemporaryFile&)> created)
      : target_(target), file_(file), created_(std::move(created)) {}
  void Open() override {
    file_ = std::make_unique<TemporaryFile>(target_);
    created_(*file_);
  }
  void Write(const char* data, DWORD size) override { file_->Write(data, size); }

 private:
  const std::wstring& target_;
  std::unique_ptr<TemporaryFile>& file_;
  std::function<void(TemporaryFile&)> created_;
};

class MemorySink final : public BodySink {
 public:
  explicit MemorySink(std::string& bytes) : bytes_(bytes) {}
  void Open() override { bytes_.clear(); }
  void Write(const char* data, DWORD size) override { bytes_.append(data, size); }

 private:
  std::string& bytes_;
};

}  // namespace

DWORD WINAPI ReceivingThread::Receive(void* parameter) {
  // The thread's own share, handed over by Start.
  const std::unique_ptr<std::shared_ptr<Shared>> owned(
      static_cast<std::shared_ptr<Shared>*>(parameter));
  Shared& shared = **owned;
  ReceivedBody body;
  try {
    FileSink file(shared.target, body.file, [&shared](TemporaryFile& created) {
      const ExclusiveLock lock(shared.lock);
      if (shared.givenUp) {
        created.RemoveWhenClosed();
      } else {
        shared.receiving = &created;
      }
    });
    MemorySink memory(body.bytes);
    body.status = ReceiveOverHttp(
        shared.address, shared.rules, shared.deadline, shared.givenUp, shared.progress,
        shared.target.empty() ? static_cast<BodySink&>(memory) : static_cast<BodySink&>(file));
  } catch (...) {
    body.error = std::current_exception();
  }
  const ExclusiveLock lock(shared.lock);
  shared.receiving = nullptr;  // closed by its new owner or on the way out
  if (!shared.givenUp) {
    shared.body = std::move(body);
    SetEvent(shared.handedOver.Get());
  }
  return 0;  // a file nobody took is removed on the way out
}

}  // namespace deskfind
