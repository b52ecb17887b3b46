// Work that comes in pieces, made on two threads and used in order on the
// calling one: the data's parsing and writing, which are the bulk of a
// conversion or an upgrade, use both cores of a small machine this way.
//
//   PairedWork<Piece>(
//       [&](Piece& p) { return ReadNext(p); },    // calling thread, in order; false when done
//       [&](Piece& p) { Parse(p); },              // either thread
//       [&](Piece& p) { Append(p); });            // calling thread, in order
//
// The calling thread reads a few pieces ahead; each piece is made by
// whichever thread is free first, the oldest waiting piece first, so that
// the calling thread, which also reads and uses, makes fewer than the other
// one instead of every second piece. An exception from any step ends the
// work once the other thread's piece is done, and propagates to the caller
// in the pieces' order. On a machine of one core the pieces are made one
// after the other.
#pragma once

#include <array>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <exception>
#include <mutex>
#include <thread>

namespace orv {

template <class Piece, class Next, class Make, class Use>
void PairedWork(Next&& next, Make&& make, Use&& use) {
    struct Slot {
        Piece piece;
        bool done = false;
        std::exception_ptr failure;
    };
    // Pieces in hand at most: being made or waiting to be, or made and
    // waiting to be used.
    std::array<Slot, 4> ring;
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<Slot*> waiting;  // read, not yet taken by either thread
    bool stopping = false;

    struct OtherThread {
        std::thread thread;
        std::mutex& mutex;
        std::condition_variable& changed;
        bool& stopping;
        ~OtherThread() {
            if (!thread.joinable()) return;
            {
                const std::lock_guard lock(mutex);
                stopping = true;
            }
            changed.notify_all();
            thread.join();
        }
    } other{{}, mutex, changed, stopping};
    // Makes the slot, the lock released meanwhile.
    const auto makeUnlocked = [&](std::unique_lock<std::mutex>& lock, Slot& slot) {
        lock.unlock();
        try {
            make(slot.piece);
        } catch (...) {
            slot.failure = std::current_exception();
        }
        lock.lock();
        slot.done = true;
    };
    const auto makeOnOtherThread = [&] {
        std::unique_lock lock(mutex);
        for (;;) {
            changed.wait(lock, [&] { return stopping || !waiting.empty(); });
            if (stopping) return;
            Slot* slot = waiting.front();
            waiting.pop_front();
            makeUnlocked(lock, *slot);
            changed.notify_all();
        }
    };
    // Started with the second piece: work of one piece, the most common in
    // small runs, costs no thread.
    const bool twoThreads = std::thread::hardware_concurrency() > 1;

    std::size_t read = 0, used = 0;
    bool more = true;
    for (;;) {
        while (more && read - used < ring.size()) {
            Slot& slot = ring[read % ring.size()];
            slot.failure = nullptr;
            slot.done = false;
            if (!next(slot.piece)) {
                more = false;
                break;
            }
            if (twoThreads && read == 1) other.thread = std::thread(makeOnOtherThread);
            {
                const std::lock_guard lock(mutex);
                waiting.push_back(&slot);
            }
            changed.notify_all();
            ++read;
        }
        if (used == read) return;
        Slot& slot = ring[used % ring.size()];
        {
            // Until the piece to use is made, the calling thread makes the
            // oldest waiting one, which may be that piece.
            std::unique_lock lock(mutex);
            while (!slot.done) {
                if (waiting.empty()) {
                    changed.wait(lock);
                    continue;
                }
                Slot* own = waiting.front();
                waiting.pop_front();
                makeUnlocked(lock, *own);
            }
        }
        if (slot.failure) std::rethrow_exception(slot.failure);
        use(slot.piece);
        ++used;
    }
}

}  // namespace orv
