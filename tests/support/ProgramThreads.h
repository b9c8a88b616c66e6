#pragma once

// The program's own threads, as a test sees them from outside: a look at the file system made
// for the window (OffThread, named as the thread that started it) and a search's walk and
// readers (named "trovan-...", but for the keeper of kept listings, which lives as long as its
// owner and hands the window nothing). Qt's threads carry other names, and so must a test's own;
// the threads already there when the test program starts (a sanitizer's) are not counted.
//
// It lets a test know that nothing more can come back, instead of waiting a while to see: every
// such thread hands its answer to its receiver's mailbox before it ends, and a pass of the event
// loop delivers what a mailbox holds.

namespace ProgramThreads {

// How many are under way now.
int underWay();
// Waits until none is under way and every answer has been delivered; false when one is still
// under way after `timeoutMs`. An answer may set off another look (the saved folder, then its
// listing): it goes on until a pass of the event loop leaves none under way, twice in a row,
// so that the answer of a look set off and over within the first is delivered by the second.
bool answersDelivered(int timeoutMs = 10000);

} // namespace ProgramThreads
