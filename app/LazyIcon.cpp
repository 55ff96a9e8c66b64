#include "app/LazyIcon.h"

#include <QIconEngine>

namespace {

class TLazyIconEngine final : public QIconEngine
{
public:
    explicit TLazyIconEngine(std::function<QIcon()> factory)
        : FFactory(std::move(factory))
    {}

    void paint(QPainter *painter, const QRect &rect, QIcon::Mode mode, QIcon::State state) override
    {
        Icon().paint(painter, rect, Qt::AlignCenter, mode, state);
    }
    QSize actualSize(const QSize &size, QIcon::Mode mode, QIcon::State state) override
    {
        return Icon().actualSize(size, mode, state);
    }
    QPixmap pixmap(const QSize &size, QIcon::Mode mode, QIcon::State state) override
    {
        return Icon().pixmap(size, 1.0, mode, state);
    }
    QPixmap scaledPixmap(const QSize &size, QIcon::Mode mode, QIcon::State state, qreal scale) override
    {
        // `size` is in device pixels here.
        return Icon().pixmap(size / scale, scale, mode, state);
    }
    void addPixmap(const QPixmap &pixmap, QIcon::Mode mode, QIcon::State state) override
    {
        Icon().addPixmap(pixmap, mode, state);
    }
    void addFile(const QString &fileName, const QSize &size, QIcon::Mode mode, QIcon::State state) override
    {
        Icon().addFile(fileName, size, mode, state);
    }
    QList<QSize> availableSizes(QIcon::Mode mode, QIcon::State state) override
    {
        return Icon().availableSizes(mode, state);
    }
    QString iconName() override { return Icon().name(); }
    // Asked by size hints: an icon is promised, and making it here would defeat the delay.
    bool isNull() override { return !FFactory && FIcon.isNull(); }
    QString key() const override { return QStringLiteral("TLazyIconEngine"); }
    QIconEngine *clone() const override { return new TLazyIconEngine(*this); }

private:
    TLazyIconEngine(const TLazyIconEngine &) = default;

    QIcon &Icon()
    {
        if (FFactory) {
            FIcon = FFactory();
            FFactory = nullptr;
        }
        return FIcon;
    }

    std::function<QIcon()> FFactory;
    QIcon FIcon;
};

} // namespace

QIcon LazyIcon(std::function<QIcon()> factory)
{
    return QIcon(new TLazyIconEngine(std::move(factory)));
}
