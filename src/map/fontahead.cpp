// SPDX-License-Identifier: MIT
#include "map/fontahead.h"

#include "map/mappainter.h"

namespace vdm {

FontAhead::FontAhead(const QFont& font, int textLength, qreal ratio)
    : m_font(font), m_textLength(textLength), m_ratio(ratio)
{}

FontAhead::~FontAhead()
{
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
    const std::lock_guard held(m_lock);
    m_thread = std::thread([this, captions = std::move(captions)] {
        std::shared_ptr<const LearnedFont> learned = CaptionRenderer::learnAhead(m_font, m_ratio, captions);
        {
            const std::lock_guard done(m_lock);
            m_out = std::move(learned);
        }
        m_done = true;
    });
}

std::shared_ptr<const LearnedFont> FontAhead::takeIfDone()
{
    if (!m_done)
        return nullptr;
    const std::lock_guard held(m_lock);
    return std::move(m_out);
}

} // namespace vdm
