// Work that comes in pieces, made two at a time on two threads and used in
// order on the calling one: the data sets' parsing and writing, which are
// the bulk of a conversion, use both cores of a small machine this way.
//
//   Piece a, b;
//   PairedWork(a, b,
//              [&](Piece& p) { return ReadNext(p); },    // calling thread, in order; false when done
//              [&](Piece& p) { Parse(p); },              // either thread
//              [&](Piece& p) { Append(p); });            // calling thread, in order
//
// An exception from any step ends the work once the other thread's piece is
// done, and propagates to the caller. On a machine of one core the pieces
// are made one after the other.
#pragma once

#include <future>
#include <thread>

namespace orv::refhost {

template <class Piece, class Next, class Make, class Use>
void PairedWork(Piece& a, Piece& b, Next&& next, Make&& make, Use&& use) {
    const bool twoThreads = std::thread::hardware_concurrency() > 1;
    for (bool haveA = next(a); haveA;) {
        const bool haveB = next(b);
        std::future<void> other;
        if (haveB && twoThreads) other = std::async(std::launch::async, [&] { make(b); });
        make(a);
        use(a);
        if (haveB) {
            if (other.valid()) other.get();
            else make(b);
            use(b);
        }
        haveA = haveB && next(a);
    }
}

}  // namespace orv::refhost
