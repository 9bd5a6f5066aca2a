// The per-thread object slot, against each system (Wine for the Windows build, whose C++
// thread-locals are emulated): an object given to a thread goes when it is replaced or when
// the thread ends, for threads of either start, each thread with its own; and a thread keeps
// one object when the system cannot store it.
#include <gtest/gtest.h>

#include <mutex>
#include <thread>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <pthread.h>

#include <cerrno>
#endif

#include "platform/ThreadSlot.h"

namespace {

using qx::platform::ThreadOwned;
using qx::platform::ThreadSlot;

// Each object as it went: its thread's mark * 100 + its number.
struct Record {
  std::mutex lock;
  std::vector<int> seen;
};

class Marked final : public ThreadOwned {
 public:
  Marked(Record& record, int mark, int number) : record_(record), mark_(mark), number_(number) {}
  ~Marked() override {
    std::lock_guard<std::mutex> guard(record_.lock);
    record_.seen.push_back(mark_ * 100 + number_);
  }

 private:
  Record& record_;
  int mark_;
  int number_;
};

// While set, the system's store into a per-thread slot fails on this thread, as when it has
// no memory for the thread's slots: a stand-in takes the place of the system's call (on Linux
// by its name, on Windows in the program's imports).
thread_local bool tStoresFail = false;
#ifdef _WIN32
extern "C" BOOL(WINAPI* gImportedFlsSetValue)(DWORD, PVOID) asm("__imp__FlsSetValue@8");
const auto gSystemFlsSetValue = gImportedFlsSetValue;
BOOL WINAPI FlsSetValueUnlessFailing(DWORD index, PVOID value) {
  return !tStoresFail && gSystemFlsSetValue(index, value);
}
void FailStores(bool fail) {
  DWORD protection;
  VirtualProtect(&gImportedFlsSetValue, sizeof gImportedFlsSetValue, PAGE_READWRITE, &protection);
  gImportedFlsSetValue = &FlsSetValueUnlessFailing;
  tStoresFail = fail;
}
#else
extern "C" int SystemSetSpecific(pthread_key_t key, const void* value);
__asm__(".symver SystemSetSpecific, __pthread_setspecific@GLIBC_2.0");
extern "C" int pthread_setspecific(pthread_key_t key, const void* value) {
  return tStoresFail ? ENOMEM : SystemSetSpecific(key, value);
}
void FailStores(bool fail) { tStoresFail = fail; }
#endif

ThreadSlot& Slot() {
  static auto* slot = new ThreadSlot;
  return *slot;
}

struct Job {
  Record* record;
  int mark;
  bool emptyAtFirst = false;
};

void Body(Job& job) {
  job.emptyAtFirst = Slot().Get() == nullptr;
  Slot().Set(new Marked(*job.record, job.mark, 1));
  Slot().Set(new Marked(*job.record, job.mark, 2));  // the first goes now
  Slot().Set(Slot().Get());                // giving it its own object again changes nothing
}

#ifdef _WIN32
DWORD WINAPI RunJob(void* argument) {
  Body(*static_cast<Job*>(argument));
  return 0;
}
#endif

// Started by the system's own call, as the game starts its script threads.
void RunOnSystemThread(Job& job) {
#ifdef _WIN32
  HANDLE thread = CreateThread(nullptr, 0, &RunJob, &job, 0, nullptr);
  ASSERT_NE(thread, nullptr);
  WaitForSingleObject(thread, INFINITE);
  CloseHandle(thread);
#else
  auto start = [](void* argument) -> void* {
    Body(*static_cast<Job*>(argument));
    return nullptr;
  };
  pthread_t thread;
  ASSERT_EQ(pthread_create(&thread, nullptr, start, &job), 0);
  pthread_join(thread, nullptr);
#endif
}

TEST(ThreadSlot, ObjectsGoWhenReplacedAndAtTheThreadsEnd) {
  Record record;
  Job job{&record, 7};
  std::thread([&] { Body(job); }).join();
  EXPECT_TRUE(job.emptyAtFirst);
  EXPECT_EQ(record.seen, (std::vector<int>{701, 702}));
}

TEST(ThreadSlot, ThreadsTheSystemStartedGiveTheirObjectBackToo) {
  Record record;
  Job first{&record, 5};
  Job second{&record, 6};
  RunOnSystemThread(first);
  RunOnSystemThread(second);
  EXPECT_TRUE(first.emptyAtFirst);
  EXPECT_TRUE(second.emptyAtFirst) << "each thread has an object of its own";
  EXPECT_EQ(record.seen, (std::vector<int>{501, 502, 601, 602}));
}

// Without the store, a thread still keeps one object (never destroyed, as without a slot),
// not a new one at every Get that finds none.
TEST(ThreadSlot, AThreadWhoseStoreFailsStillKeepsOneObject) {
  Record record;
  Job job{&record, 8};
  FailStores(true);
  Body(job);
  FailStores(false);
  EXPECT_TRUE(job.emptyAtFirst);
  EXPECT_EQ(record.seen, std::vector<int>{801}) << "the first went when the second replaced it";
}

}  // namespace
