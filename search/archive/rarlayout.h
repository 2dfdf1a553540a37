#ifndef RARLAYOUT_H
#define RARLAYOUT_H

#include <QVector>

class QIODevice;

// What one file header of a RAR volume says about its member's data.
struct RarMemberLayout
{
    bool splitBefore = false;  // the data begins in the previous volume
    bool splitAfter = false;   // the data goes on in the next volume
    bool encrypted = false;
};

// The block structure of one RAR 4 or RAR 5 file, read from its headers
// without decompressing anything. libarchive does not tell which volume a
// member needs, and flags no encrypted RAR 5 member; this fills both gaps.
struct RarVolumeLayout
{
    bool recognized = false;  // a RAR 4 or RAR 5 signature at the start
    bool isVolume = false;    // part of a multi-volume set
    bool isFirstVolume = true;
    bool newNumbering = false;  // volumes named "name.partN.rar"
    bool headersEncrypted = false;
    QVector<RarMemberLayout> members;  // one per file header, in file order
};

// Reads the block headers of `device` from its start. A damaged or truncated
// header ends the scan; what was read up to it stays valid.
RarVolumeLayout scanRarLayout(QIODevice &device);

#endif  // RARLAYOUT_H
