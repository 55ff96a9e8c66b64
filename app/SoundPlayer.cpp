#include "app/SoundPlayer.h"

#include "engine/FTPUtils.h"

#include <QFile>
#include <QFileInfo>
#include <QAudioDevice>
#include <QMediaDevices>
#include <QPointer>
#include <QSoundEffect>
#include <QUrl>

namespace {

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

} // namespace

void InstallSoundPlayer(QObject *owner)
{
    QPointer<QObject> guard(owner);
    SetSoundPlayer([guard](const QString &fileName) {
        // Without a device an effect never ends playing and would never be freed.
        if (!guard || !IsWaveFile(fileName) || QMediaDevices::audioOutputs().isEmpty())
            return;
        auto *effect = new QSoundEffect(guard);
        // The effect frees itself once it has played, or once it turned out unplayable.
        QObject::connect(effect, &QSoundEffect::playingChanged, effect, [effect] {
            if (!effect->isPlaying() && effect->status() != QSoundEffect::Loading)
                effect->deleteLater();
        });
        QObject::connect(effect, &QSoundEffect::statusChanged, effect, [effect] {
            if (effect->status() == QSoundEffect::Error)
                effect->deleteLater();
            else if (effect->status() == QSoundEffect::Ready && !effect->isPlaying())
                effect->play();
        });
        effect->setSource(QUrl::fromLocalFile(fileName));
        if (effect->status() == QSoundEffect::Ready)
            effect->play();
    });
}
