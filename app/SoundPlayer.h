#pragma once

class QObject;

// Installs the program's sound player for PlaySoundFile: each file plays asynchronously
// through its own sound effect, owned by `owner` until it has finished; a file that
// cannot be played is skipped silently. The player's module is loaded at the first sound.
void InstallSoundPlayer(QObject *owner);

// The player's module can be loaded (it is looked for once, at the first sound or here).
bool SoundModuleLoaded();
