#include "base/Parallel.h"

#include <cstdlib>
#include <mutex>
#include <utility>
#include <vector>

#if defined(__linux__)
#include <sys/mman.h>
#endif
#if defined(__GLIBC__)
#include <malloc.h>
#endif

void* AllocateLarge(std::size_t size)
{
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    constexpr std::size_t hugePage = std::size_t(2) << 20;
    if (size >= hugePage) {
        const std::size_t rounded = (size + hugePage - 1) / hugePage * hugePage;
        void* memory = std::aligned_alloc(hugePage, rounded);
        if (memory) madvise(memory, rounded, MADV_HUGEPAGE);
        return memory;
    }
#endif
    return std::malloc(std::max<std::size_t>(size, 1));
}

namespace {

class KeptBuffers {
public:
    static constexpr std::size_t smallest = std::size_t(1) << 20;

    ~KeptBuffers()
    {
        for (const auto& [data, capacity] : kept_) std::free(data);
    }

    void* Take(std::size_t size, std::size_t& capacity)
    {
        if (size >= smallest) {
            const std::lock_guard<std::mutex> hold(lock_);
            std::size_t best = kept_.size();
            for (std::size_t i = 0; i < kept_.size(); ++i)
                if (kept_[i].second >= size && (best == kept_.size() || kept_[i].second < kept_[best].second)) best = i;
            if (best < kept_.size()) {
                void* const data = kept_[best].first;
                capacity = kept_[best].second;
                kept_.erase(kept_.begin() + std::ptrdiff_t(best));
                return data;
            }
        }
        capacity = size;
        return AllocateLarge(size);
    }
    void GiveBack(void* data, std::size_t capacity)
    {
        if (data == nullptr) return;
        if (capacity >= smallest) {
            const std::lock_guard<std::mutex> hold(lock_);
            if (kept_.size() < most) {
                kept_.emplace_back(data, capacity);
                return;
            }
        }
        std::free(data);
    }

    void Release()
    {
        const std::lock_guard<std::mutex> hold(lock_);
        for (const auto& [data, capacity] : kept_) std::free(data);
        kept_.clear();
    }

private:
    // A page picture's rows, its stream and a part's share of it, and a
    // paint's record.
    static constexpr std::size_t most = 5;
    std::mutex lock_;
    std::vector<std::pair<void*, std::size_t>> kept_;
};

KeptBuffers& Kept()
{
    static KeptBuffers kept;
    return kept;
}

}  // namespace

TWorkAside::TWorkAside(std::function<void()> work, bool aside) : work_(std::move(work))
{
    if (!aside) return;
    try {
        thread_ = std::thread([this] {
            try {
                work_();
            } catch (...) {
                thrown_ = std::current_exception();
            }
        });
    } catch (const std::system_error&) {
    }
}

TWorkAside::~TWorkAside()
{
    if (thread_.joinable()) thread_.join();
}

void TWorkAside::Finish()
{
    if (thread_.joinable()) {
        thread_.join();
        work_ = nullptr;
        if (thrown_) std::rethrow_exception(std::exchange(thrown_, nullptr));
    } else if (work_) {
        std::exchange(work_, nullptr)();
    }
}

void* TakeLarge(std::size_t size, std::size_t& capacity) { return Kept().Take(size, capacity); }

void GiveBackLarge(void* data, std::size_t capacity) { Kept().GiveBack(data, capacity); }

void ReleaseLargeBuffers() { Kept().Release(); }

void SetUpProcessMemory()
{
#if defined(__GLIBC__)
    mallopt(M_MMAP_THRESHOLD, 128 * 1024);  // (a threshold set stays where it is set)
    mallopt(M_ARENA_MAX, 1);
#endif
}
