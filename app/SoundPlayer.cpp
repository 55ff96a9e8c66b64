#include "app/SoundPlayer.h"

#include "engine/FTPUtils.h"
#include "engine/Trace.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QLibrary>
#include <QPointer>

namespace {

using TPlaySoundEffect = bool (*)(QObject *, const QString &);

// The sound effect plays WAVE files only, and a file it cannot decode may leave it
// loading for good; anything else is refused before it gets there.
bool IsWaveFile(const QString &fileName)
{
    QFile file(fileName);
    if (!QFileInfo(fileName).isFile() || !file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray head = file.read(12);
    return head.size() == 12 && head.startsWith("RIFF") && head.mid(8, 4) == "WAVE";
}

// Looked for once, beside the program's folder (lib/ferrow), as installed and as built.
TPlaySoundEffect SoundModule()
{
    static const TPlaySoundEffect play = [] {
        QLibrary module(QCoreApplication::applicationDirPath()
                        + QStringLiteral("/../lib/ferrow/ferrow-sound"));
        const auto function = reinterpret_cast<TPlaySoundEffect>(module.resolve("FerrowPlaySoundEffect"));
        if (!function)
            TraceFmt("No sounds: %s", qPrintable(module.errorString()));
        return function;
    }();
    return play;
}

} // namespace

void InstallSoundPlayer(QObject *owner)
{
    QPointer<QObject> guard(owner);
    SetSoundPlayer([guard](const QString &fileName) {
        if (!guard || !IsWaveFile(fileName))
            return;
        if (const TPlaySoundEffect play = SoundModule())
            play(guard, fileName);
    });
}

bool SoundModuleLoaded()
{
    return SoundModule() != nullptr;
}
