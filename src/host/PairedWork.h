// Work that comes in pieces, made on two threads and used in order on the
// calling one: the data sets' parsing and writing, which are the bulk of a
// conversion, use both cores of a small machine this way.
//
//   PairedWork<Piece>(
//       [&](Piece& p) { return ReadNext(p); },    // calling thread, in order; false when done
//       [&](Piece& p) { Parse(p); },              // either thread
//       [&](Piece& p) { Append(p); });            // calling thread, in order
//
// Every other piece goes to a second thread, which works a piece or two
// ahead; the calling thread reads and makes the others and uses each in
// turn, so that reading and using overlap the other thread's making. An
// exception from any step ends the work once the other thread's piece is
// done, and propagates to the caller in the pieces' order. On a machine of
// one core the pieces are made one after the other.
#pragma once

#include <array>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <exception>
#include <mutex>
#include <thread>

namespace orv::refhost {

template <class Piece, class Next, class Make, class Use>
void PairedWork(Next&& next, Make&& make, Use&& use) {
    struct Slot {
        Piece piece;
        bool helper = false;  // made by the other thread
        bool done = false;
        std::exception_ptr failure;
    };
    // Two pieces of each thread in hand at most: one being made, one waiting.
    std::array<Slot, 4> ring;
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<Slot*> queue;
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
    // Started with the second piece: work of one piece, the most common in
    // small runs, costs no thread.
    const bool twoThreads = std::thread::hardware_concurrency() > 1;
    const auto makeOnOtherThread = [&] {
        for (;;) {
            Slot* slot = nullptr;
            {
                std::unique_lock lock(mutex);
                changed.wait(lock, [&] { return stopping || !queue.empty(); });
                if (stopping) return;
                slot = queue.front();
                queue.pop_front();
            }
            try {
                make(slot->piece);
            } catch (...) {
                slot->failure = std::current_exception();
            }
            {
                const std::lock_guard lock(mutex);
                slot->done = true;
            }
            changed.notify_all();
        }
    };

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
            slot.helper = twoThreads && read % 2 == 1;
            if (slot.helper) {
                if (!other.thread.joinable()) other.thread = std::thread(makeOnOtherThread);
                {
                    const std::lock_guard lock(mutex);
                    queue.push_back(&slot);
                }
                changed.notify_all();
            }
            ++read;
        }
        if (used == read) return;
        Slot& slot = ring[used % ring.size()];
        if (slot.helper) {
            std::unique_lock lock(mutex);
            changed.wait(lock, [&] { return slot.done; });
        } else {
            make(slot.piece);
        }
        if (slot.failure) std::rethrow_exception(slot.failure);
        use(slot.piece);
        ++used;
    }
}

}  // namespace orv::refhost
