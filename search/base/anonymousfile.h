#ifndef ANONYMOUSFILE_H
#define ANONYMOUSFILE_H

// A file open for reading and writing that has no name anyone can reach and
// is gone once its descriptor is closed: data that must be read more than
// once and is too large to keep in memory. -1 when none can be made.
int createAnonymousFile();

class ByteSource;

// Copies what is left of `source` to a new anonymous file, positioned at its
// start; -1 when none can be made or written, or reading failed.
int spoolToAnonymousFile(ByteSource &source);

#endif  // ANONYMOUSFILE_H
