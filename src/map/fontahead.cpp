// SPDX-License-Identifier: MIT
#include "map/fontahead.h"

namespace vdm {

FontAhead::FontAhead(const QFont& font, int textLength, qreal ratio, std::optional<FirstView> view)
    : m_font(font), m_textLength(textLength), m_ratio(ratio), m_view(view)
{}

FontAhead::~FontAhead()
{
    m_stop = true;
    std::thread learning;
    {
        const std::lock_guard held(m_lock);
        learning = std::move(m_thread);
    }
    if (learning.joinable())
        learning.join();
}

void FontAhead::learnFrom(const LocationList& places)
{
    if (places.size() < ManyCaptionsFrom || m_started.exchange(true))
        return;
    std::vector<QByteArray> captions = captionsToLearn(places, m_textLength, LookedAt);
    // The places near the first view are picked here, while they are at hand: the thread
    // keeps their names, not the list the worker goes on with. Beyond HugeWorldAbove a
    // crowded view holds more captions than the cache keeps, and its paint goes in parts.
    PlacesNearView near;
    if (m_view && places.size() <= HugeWorldAbove)
        near = placesNearView(places, *m_view, m_textLength);
    const std::lock_guard held(m_lock);
    m_thread = std::thread([this, captions = std::move(captions), near = std::move(near)] {
        std::shared_ptr<const LearnedFont> learned = CaptionRenderer::learnAhead(m_font, m_ratio, captions);
        {
            const std::lock_guard done(m_lock);
            m_out = learned;
        }
        m_done = true;
        std::unique_ptr<CaptionsAhead> rendered;
        if (!near.names.empty() && !m_stop) {
            // The metrics of a font of its own, as the renderers' (a font keeps the engines
            // of the thread that used it).
            QFont own = m_font;
            own.setKerning(!own.kerning());
            own.setKerning(m_font.kerning());
            const CaptionFont metrics(own);
            rendered = CaptionsAhead::render(m_font, m_ratio, std::move(learned),
                                             captionsNearView(near, metrics.lineHeight, metrics.maxCharWidth), &m_stop);
        }
        {
            const std::lock_guard done(m_lock);
            m_captions = std::move(rendered);
        }
        m_captionsDone = true;
    });
}

std::shared_ptr<const LearnedFont> FontAhead::takeIfDone()
{
    if (!m_done)
        return nullptr;
    const std::lock_guard held(m_lock);
    return std::move(m_out);
}

std::unique_ptr<CaptionsAhead> FontAhead::takeCaptionsIfDone()
{
    if (!m_captionsDone)
        return nullptr;
    const std::lock_guard held(m_lock);
    return std::move(m_captions);
}

} // namespace vdm
