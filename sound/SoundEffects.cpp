// Plays WAVE files through Qt's sound effects for the program, which loads this module
// only when it first has a sound to play.

#include <QAudioDevice>
#include <QMediaDevices>
#include <QObject>
#include <QSoundEffect>
#include <QString>
#include <QUrl>

extern "C" Q_DECL_EXPORT bool FerrowPlaySoundEffect(QObject *owner, const QString &fileName)
{
    // Without a device an effect never ends playing and would never be freed.
    if (!owner || QMediaDevices::audioOutputs().isEmpty())
        return false;
    auto *effect = new QSoundEffect(owner);
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
    return true;
}
