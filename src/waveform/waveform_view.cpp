#include "waveform/waveform_view.h"

#include "platform/time_text.h"

#include <QLocale>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>

namespace {

QColor blend(const QColor& a, const QColor& b, double share_of_a) {
    const double s = share_of_a, t = 1 - s;
    return QColor::fromRgbF(float(a.redF() * s + b.redF() * t),
                            float(a.greenF() * s + b.greenF() * t),
                            float(a.blueF() * s + b.blueF() * t));
}

const QColor kClipped(0xd8, 0x3a, 0x3a);

} // namespace

WaveformView::WaveformView(QWidget* parent) : QWidget(parent) {
    setMinimumHeight(40);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    setToolTip(tr("Click or drag to seek"));
}

void WaveformView::setWaveform(WaveformRef waveform) {
    waveform_ = std::move(waveform);
    message_.clear();
    stale_ = true;
    update();
}

void WaveformView::setMessage(const QString& text) {
    waveform_.reset();
    message_ = text;
    stale_ = true;
    update();
}

void WaveformView::setPlayhead(double fraction) {
    const int before = playheadX();
    playhead_ = fraction < 0 ? -1 : std::min(fraction, 1.0);
    const int after = playheadX();
    if (before == after)
        return; // the same column: nothing to draw, which keeps playback cheap
    if (before < 0 || after < 0) {
        update();
        return;
    }
    update(std::min(before, after) - 1, 0, std::abs(after - before) + 3, height());
}

int WaveformView::playheadX() const {
    if (playhead_ < 0 || !waveform_)
        return -1;
    return int(playhead_ * (width() - 1) + 0.5);
}

void WaveformView::render() {
    stale_ = false;
    const qreal ratio = devicePixelRatioF();
    const QSize pixels = (QSizeF(size()) * ratio).toSize();
    played_ = QPixmap(pixels);
    unplayed_ = QPixmap(pixels);
    played_.setDevicePixelRatio(ratio);
    unplayed_.setDevicePixelRatio(ratio);
    const QColor tone = palette().color(QPalette::Highlight);
    const QColor ground = palette().color(QPalette::Base);
    drawPeaks(played_, tone, kClipped);
    drawPeaks(unplayed_, blend(tone, ground, 0.45), blend(kClipped, ground, 0.55));
}

// One column of device pixels at a time: the lowest and highest of the buckets
// it covers, in each lane. A file still being read fills the columns its buckets reach.
void WaveformView::drawPeaks(QPixmap& into, const QColor& tone, const QColor& clipped) const {
    into.fill(Qt::transparent);
    if (!waveform_ || waveform_->peaks.lanes == 0)
        return;
    const Peaks& peaks = waveform_->peaks;
    const qint64 have = peaks.buckets();
    const qint64 total = std::max(have, peaks.expectedBuckets);
    const int columns = into.width(), rows = into.height();
    if (total == 0 || columns == 0)
        return;
    QPainter p(&into);
    p.scale(1 / into.devicePixelRatio(), 1 / into.devicePixelRatio());
    const int laneHeight = rows / peaks.lanes;
    const QColor line = blend(tone, palette().color(QPalette::Base), 0.35);
    for (int lane = 0; lane < peaks.lanes; ++lane) {
        const double middle = lane * laneHeight + laneHeight / 2.0;
        const double reach = laneHeight / 2.0 - 1;
        p.fillRect(QRectF(0, middle - 0.5, columns, 1), line);
        for (int x = 0; x < columns; ++x) {
            const qint64 first = x * total / columns;
            const qint64 end = std::min(have, std::max(first + 1, (x + 1) * total / columns));
            if (first >= have)
                break;
            float low = 1, high = -1;
            bool clip = false;
            for (qint64 b = first; b < end; ++b) {
                const PeakColumn& c = peaks.at(b, lane);
                low = std::min(low, c.low);
                high = std::max(high, c.high);
                clip = clip || c.clipped;
            }
            const double top = middle - std::clamp(high, -1.f, 1.f) * reach;
            const double bottom = middle - std::clamp(low, -1.f, 1.f) * reach;
            p.fillRect(QRectF(x, top, 1, std::max(1.0, bottom - top)), clip ? clipped : tone);
        }
    }
}

void WaveformView::paintEvent(QPaintEvent* event) {
    QPainter p(this);
    if (!message_.isEmpty()) {
        p.setPen(palette().color(QPalette::Text));
        p.drawText(rect().adjusted(8, 0, -8, 0), Qt::AlignCenter | Qt::TextWordWrap, message_);
        return;
    }
    if (!waveform_)
        return;
    if (stale_)
        render();
    const int x = std::max(0, playheadX());
    const QRect dirty = event->rect();
    // Left of the playhead the played tone, right of it the other.
    const QRect left = dirty.intersected(QRect(0, 0, x, height()));
    const QRect right = dirty.intersected(QRect(x, 0, width() - x, height()));
    const qreal ratio = played_.devicePixelRatio();
    auto source = [ratio](const QRect& r) {
        return QRectF(r.x() * ratio, r.y() * ratio, r.width() * ratio, r.height() * ratio);
    };
    if (!left.isEmpty())
        p.drawPixmap(QRectF(left), played_, source(left));
    if (!right.isEmpty())
        p.drawPixmap(QRectF(right), unplayed_, source(right));
    if (playheadX() >= 0)
        p.fillRect(QRect(playheadX(), 0, 1, height()), palette().color(QPalette::Text));
}

void WaveformView::resizeEvent(QResizeEvent* event) {
    stale_ = true;
    QWidget::resizeEvent(event);
}

void WaveformView::changeEvent(QEvent* event) {
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::StyleChange)
        stale_ = true;
    QWidget::changeEvent(event);
}

void WaveformView::seekTo(const QPoint& at) {
    if (!waveform_ || width() < 2)
        return;
    const double fraction = std::clamp(double(at.x()) / (width() - 1), 0.0, 1.0);
    setPlayhead(fraction);
    Q_EMIT seekRequested(fraction);
}

void WaveformView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return QWidget::mousePressEvent(event);
    seeking_ = true;
    seekTo(event->position().toPoint());
    QWidget::mousePressEvent(event);
}

void WaveformView::mouseMoveEvent(QMouseEvent* event) {
    if (seeking_ && (event->buttons() & Qt::LeftButton))
        seekTo(event->position().toPoint());
    QWidget::mouseMoveEvent(event);
}

void WaveformView::mouseReleaseEvent(QMouseEvent* event) {
    seeking_ = false;
    QWidget::mouseReleaseEvent(event);
}

// A double-click is the player's (full screen), not a second seek.
void WaveformView::mouseDoubleClickEvent(QMouseEvent* event) {
    event->accept();
}

QString factsLine(const AudioFacts& facts) {
    QStringList parts;
    if (!facts.format.isEmpty())
        parts << facts.format;
    if (facts.sampleRate > 0)
        parts << QStringLiteral("%1 kHz").arg(QString::number(facts.sampleRate / 1000.0, 'g', 6));
    if (facts.channels == 1)
        parts << QStringLiteral("mono");
    else if (facts.channels == 2)
        parts << QStringLiteral("stereo");
    else if (facts.channels > 2)
        parts << QStringLiteral("%1 channels").arg(facts.channels);
    if (facts.floatSamples)
        parts << QStringLiteral("%1-bit float").arg(facts.bitDepth > 0 ? facts.bitDepth : 32);
    else if (facts.bitDepth > 0)
        parts << QStringLiteral("%1-bit").arg(facts.bitDepth);
    if (facts.seconds > 0)
        parts << formatTime(facts.seconds);
    if (facts.bytes > 0)
        parts << QLocale::c().formattedDataSize(facts.bytes, 1, QLocale::DataSizeSIFormat);
    if (facts.silent())
        parts << QStringLiteral("Silent");
    else if (facts.tooShortToMeasure)
        parts << QStringLiteral("too short to measure");
    else if (facts.loudnessKnown())
        parts << QStringLiteral("%1 LUFS").arg(signedDecibels(facts.loudness, false));
    else if (facts.measured())
        parts << QStringLiteral("under \u221270 LUFS");
    if (facts.measured() && !std::isinf(facts.peakDb))
        parts << QStringLiteral("peak %1 dB").arg(signedDecibels(facts.peakDb, false));
    return parts.join(QStringLiteral(" \u00b7 "));
}

QString signedDecibels(double decibels, bool plus) {
    const double rounded = std::round(decibels * 10) / 10;
    const QString digits = QString::number(std::fabs(rounded), 'f', 1);
    if (rounded < 0)
        return QStringLiteral("\u2212") + digits;
    return plus ? QStringLiteral("+") + digits : digits;
}

QString tagsLine(const AudioFacts& facts) {
    QStringList parts;
    for (const QString& part : {facts.title, facts.artist, facts.album})
        if (!part.isEmpty())
            parts << part;
    return parts.join(QStringLiteral(" \u00b7 "));
}
