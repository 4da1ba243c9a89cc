#pragma once
// Work shared out between threads, and large buffers.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <exception>
#include <functional>
#include <memory>
#include <new>
#include <system_error>
#include <thread>
#include <vector>

// The threads a setting asks for: the setting, or one per core when it is 0.
inline int ThreadsFor(int setting)
{
    return setting > 0 ? setting : int(std::max(1u, std::thread::hardware_concurrency()));
}

// Calls part(k) for k = 0 .. parts-1 and returns when all are done: part 0
// on this thread, each of the others on a thread of its own. The parts no
// thread could be started for run on this thread after part 0. What a part
// throws is thrown here once every part is done (the first part's first).
template <typename F>
void RunParts(int parts, F&& part)
{
    std::vector<std::exception_ptr> thrown(std::size_t(std::max(parts, 1)));
    const auto run = [&part, &thrown](int k) {
        try {
            part(k);
        } catch (...) {
            thrown[std::size_t(k)] = std::current_exception();
        }
    };
    std::vector<std::thread> helpers;
    int k = 1;
    try {
        helpers.reserve(thrown.size() - 1);
        for (; k < parts; ++k) helpers.emplace_back(run, k);
    } catch (const std::system_error&) {
    } catch (const std::bad_alloc&) {
    }
    run(0);
    for (; k < parts; ++k) run(k);
    for (std::thread& helper : helpers) helper.join();
    for (const std::exception_ptr& e : thrown)
        if (e) std::rethrow_exception(e);
}

// Work done on a thread of its own while this thread goes on, until Finish
// waits for it and throws here what it threw. Where no thread can be
// started, or aside is false, Finish does the work.
class TWorkAside {
public:
    explicit TWorkAside(std::function<void()> work, bool aside = true);
    TWorkAside(const TWorkAside&) = delete;
    TWorkAside& operator=(const TWorkAside&) = delete;
    ~TWorkAside();  // waits for the work (what it throws is lost)
    void Finish();

private:
    std::function<void()> work_;
    std::exception_ptr thrown_;
    std::thread thread_;
};

// A buffer of at least `size` bytes for std::free, on huge memory pages
// where the system offers them (the kernel then clears and maps it in a
// few steps, not one for every 4 KiB page first written); null when there is
// no memory for it.
void* AllocateLarge(std::size_t size);

// A buffer of at least size bytes, to be given back; null when there is no
// memory for it. Buffers of a megabyte or more that were given back are
// kept, a few of them, for the next ones asked for: pages are painted and
// written one after another at much the same size, and fresh memory costs a
// page fault for each page first written. capacity is the buffer's size.
void* TakeLarge(std::size_t size, std::size_t& capacity);
void GiveBackLarge(void* data, std::size_t capacity);
// How the C library keeps the process's memory, so that a batch of drawings
// needs no more than its largest drawing: blocks of 128 KiB and more come
// from the system and go back to it when they are let go (it otherwise takes
// a freed large block as a sign to keep later ones in its heap, where they
// are left scattered), and every thread allocates from one heap (the heaps
// of helper threads that come and go otherwise grow from one drawing to the
// next). Called once, as the program starts.
void SetUpProcessMemory();
// Lets every kept buffer go: the next drawing of a batch starts from the
// memory the program needs, not from what the last one's pages left kept
// (buffers taken for one use and kept for another would stay in memory
// whole). Buffers on huge pages cost little to make again.
void ReleaseLargeBuffers();

// A buffer from TakeLarge, given back when it goes.
struct TGiveBackLarge {
    std::size_t Capacity = 0;
    void operator()(std::uint8_t* data) const { GiveBackLarge(data, Capacity); }
};
using TLargeBuffer = std::unique_ptr<std::uint8_t[], TGiveBackLarge>;

// A buffer of size bytes, not cleared; null when there is no memory for it.
inline TLargeBuffer TakeLargeBuffer(std::size_t size)
{
    std::size_t capacity = 0;
    std::uint8_t* const data = static_cast<std::uint8_t*>(TakeLarge(size, capacity));
    return TLargeBuffer(data, TGiveBackLarge{capacity});
}

// A container's allocator of memory from Memory: Memory::Take(bytes), null
// when there is none, and Memory::GiveBack(memory, bytes).
template <typename T, typename Memory>
struct TAllocatorOf {
    using value_type = T;
    TAllocatorOf() = default;
    template <typename U>
    TAllocatorOf(const TAllocatorOf<U, Memory>&)
    {
    }
    T* allocate(std::size_t n)
    {
        void* memory = n <= (std::size_t(-1) >> 1) / sizeof(T) ? Memory::Take(n * sizeof(T)) : nullptr;
        if (memory == nullptr) throw std::bad_alloc();
        return static_cast<T*>(memory);
    }
    void deallocate(T* memory, std::size_t n) { Memory::GiveBack(memory, n * sizeof(T)); }
    friend bool operator==(const TAllocatorOf&, const TAllocatorOf&) { return true; }
};

// Buffers from TakeLarge. (A kept buffer may be larger than was asked for;
// it goes back as large as the container knows it.)
struct TKeptMemory {
    static void* Take(std::size_t size)
    {
        std::size_t capacity = 0;
        return TakeLarge(size, capacity);
    }
    static void GiveBack(void* memory, std::size_t size) { GiveBackLarge(memory, size); }
};
// Memory on huge pages where it comes to most of one (see AllocateLarge),
// given back to the system when it goes.
struct THugePageMemory {
    static void* Take(std::size_t size)
    {
        constexpr std::size_t hugePage = std::size_t(2) << 20;
        if (size >= hugePage / 2) size = (size + hugePage - 1) / hugePage * hugePage;
        return AllocateLarge(size);
    }
    static void GiveBack(void* memory, std::size_t) { std::free(memory); }
};

// Containers' memory from TakeLarge.
template <typename T>
using TLargeAllocator = TAllocatorOf<T, TKeptMemory>;
// Containers' memory on huge pages.
template <typename T>
using THugePageAllocator = TAllocatorOf<T, THugePageMemory>;
