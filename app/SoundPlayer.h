#pragma once

class QObject;

// Installs the program's sound player for PlaySoundFile: each file plays asynchronously
// through its own sound effect, owned by `owner` until it has finished; a file that
// cannot be played is skipped silently.
void InstallSoundPlayer(QObject *owner);
