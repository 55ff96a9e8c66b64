#include "app/SoundPlayer.h"

#include "engine/FTPUtils.h"

#include <QFileInfo>
#include <QPointer>
#include <QSoundEffect>
#include <QUrl>

void InstallSoundPlayer(QObject *owner)
{
    QPointer<QObject> guard(owner);
    SetSoundPlayer([guard](const QString &fileName) {
        if (!guard || !QFileInfo(fileName).isFile())
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
