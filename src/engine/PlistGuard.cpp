#include "PlistGuard.h"

#include <QByteArrayView>

#include <algorithm>
#include <limits>
#include <optional>
#include <vector>

namespace {

using PlistGuard::kMaxDepth;

// A binary property list ("bplist00"): a header, the objects, a table of their offsets and a
// trailer that says where the table is and how wide its numbers are.
class BinaryList {
public:
    enum Type { Data = 0x4, Ascii = 0x5, Utf16 = 0x6, Array = 0xA, Set = 0xC, Dict = 0xD };

    struct Object {
        int type;
        quint64 count; // characters, or references for containers (a dictionary's pairs twice)
        quint64 start; // where its contents begin
    };

    explicit BinaryList(const QByteArray &bytes)
        : m_data(reinterpret_cast<const uchar *>(bytes.constData())), m_size(static_cast<quint64>(bytes.size()))
    {
        constexpr quint64 kHeader = 8;
        constexpr quint64 kTrailer = 32;
        if (m_size < kHeader + kTrailer)
            return;
        const quint64 trailer = m_size - kTrailer;
        m_offsetWidth = m_data[trailer + 6];
        m_refWidth = m_data[trailer + 7];
        m_valid = number(trailer + 8, 8, &m_objects) && number(trailer + 16, 8, &m_top) &&
                  number(trailer + 24, 8, &m_table) && m_offsetWidth >= 1 && m_offsetWidth <= 8 && m_refWidth >= 1 &&
                  m_refWidth <= 8 && m_top < m_objects && m_table <= m_size &&
                  m_objects <= (m_size - m_table) / m_offsetWidth;
    }

    bool valid() const { return m_valid; }
    quint64 objects() const { return m_objects; }
    quint64 top() const { return m_top; }

    std::optional<Object> object(quint64 index) const
    {
        quint64 at = 0;
        if (index >= m_objects || !number(m_table + index * m_offsetWidth, m_offsetWidth, &at) || at >= m_size)
            return std::nullopt;
        Object result{m_data[at] >> 4, quint64(m_data[at] & 0x0F), at + 1};
        if (result.count == 0x0F && hasCount(result.type)) { // the count follows as an integer object
            if (result.start >= m_size || m_data[result.start] >> 4 != 0x1)
                return std::nullopt;
            const quint64 width = quint64(1) << (m_data[result.start] & 0x0F);
            if (!number(result.start + 1, width, &result.count))
                return std::nullopt;
            result.start += 1 + width;
        }
        if (result.type == Dict) {
            if (result.count > std::numeric_limits<quint64>::max() / 2)
                return std::nullopt;
            result.count *= 2;
        }
        const quint64 unit = result.type == Ascii ? 1 : result.type == Utf16 ? 2 : isContainer(result) ? m_refWidth : 0;
        if (unit && (result.start > m_size || result.count > (m_size - result.start) / unit))
            return std::nullopt;
        return result;
    }

    // Data, text and containers say how long they are; the other types' low bits mean more.
    static bool hasCount(int type)
    {
        return type == Data || type == Ascii || type == Utf16 || type == Array || type == Set || type == Dict;
    }

    static bool isContainer(const Object &object)
    {
        return object.type == Array || object.type == Set || object.type == Dict;
    }

    std::optional<quint64> reference(const Object &container, quint64 n) const
    {
        quint64 index = 0;
        if (!number(container.start + n * m_refWidth, m_refWidth, &index) || index >= m_objects)
            return std::nullopt;
        return index;
    }

    bool holdsNul(const Object &text) const
    {
        const quint64 unit = text.type == Ascii ? 1 : 2;
        for (quint64 k = 0; k < text.count; ++k) {
            const uchar *character = m_data + text.start + k * unit;
            if (character[0] == 0 && (unit == 1 || character[1] == 0))
                return true;
        }
        return false;
    }

private:
    // A big-endian number of `width` bytes at `at`, when it lies within the file.
    bool number(quint64 at, quint64 width, quint64 *value) const
    {
        if (width < 1 || width > 8 || at > m_size || width > m_size - at)
            return false;
        *value = 0;
        for (quint64 i = 0; i < width; ++i)
            *value = *value << 8 | m_data[at + i];
        return true;
    }

    const uchar *m_data;
    quint64 m_size;
    quint64 m_offsetWidth = 0;
    quint64 m_refWidth = 0;
    quint64 m_objects = 0;
    quint64 m_top = 0;
    quint64 m_table = 0;
    bool m_valid = false;
};

bool binarySafe(const QByteArray &bytes)
{
    const BinaryList list(bytes);
    if (!list.valid())
        return false;
    for (quint64 i = 0; i < list.objects(); ++i) {
        const auto object = list.object(i);
        if (!object)
            return false;
        if ((object->type == BinaryList::Ascii || object->type == BinaryList::Utf16) && list.holdsNul(*object))
            return false;
    }
    // The longest chain of references from the top object, counting the objects on it. Each
    // object is walked once: its height (the longest chain from it down) is kept, so an object
    // reached again adds no work, and one reached from itself is a cycle.
    constexpr signed char kUnknown = 0;
    constexpr signed char kOnPath = -1;
    std::vector<signed char> height(list.objects(), kUnknown);
    struct Frame {
        quint64 index;
        BinaryList::Object object;
        quint64 next = 0;
        int below = 0; // the greatest height among the children walked so far
    };
    std::vector<Frame> path{{list.top(), *list.object(list.top())}};
    height[list.top()] = kOnPath;
    while (!path.empty()) {
        Frame &frame = path.back();
        const quint64 depth = path.size();
        if (BinaryList::isContainer(frame.object) && frame.next < frame.object.count) {
            const auto child = list.reference(frame.object, frame.next++);
            if (!child || height[*child] == kOnPath)
                return false;
            if (height[*child] != kUnknown) {
                if (depth + quint64(height[*child]) > kMaxDepth)
                    return false;
                frame.below = std::max(frame.below, int(height[*child]));
            } else {
                if (depth + 1 > kMaxDepth)
                    return false;
                height[*child] = kOnPath;
                path.push_back({*child, *list.object(*child)});
            }
            continue;
        }
        const int finished = frame.below + 1;
        height[frame.index] = static_cast<signed char>(finished);
        path.pop_back();
        if (!path.empty())
            path.back().below = std::max(path.back().below, finished);
    }
    return true;
}

bool isNameCharacter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_' ||
           c == '.' || c == ':';
}

// An upper bound of how deep the containers of an XML list nest. Openings count wherever they
// stand, also inside comments and the like; closings only in the markup itself: whatever a parser
// makes of the special sections, it cannot nest deeper than this says.
int xmlDepthBound(const QByteArray &bytes)
{
    // Whether a tag at `at` (just after "<" or "</") names a container, and is not empty ("<array/>").
    const auto container = [&bytes](qsizetype at) {
        const QByteArrayView rest = QByteArrayView(bytes).sliced(at);
        qsizetype length = 0;
        if (rest.startsWith("array"))
            length = 5;
        else if (rest.startsWith("dict"))
            length = 4;
        if (!length || (rest.size() > length && isNameCharacter(rest[length])))
            return false;
        // A tag ends soon after its name; one that does not is taken as an opening, the safe side.
        const QByteArrayView tag = rest.first(std::min<qsizetype>(rest.size(), 256));
        const qsizetype end = tag.indexOf('>');
        return end <= 0 || tag[end - 1] != '/';
    };
    int depth = 0;
    int deepest = 0;
    const auto open = [&] { deepest = std::max(deepest, ++depth); };
    // Sections whose insides are not markup, by how they start and end.
    static const std::pair<QByteArrayView, QByteArrayView> kSections[] = {
        {"<!--", "-->"}, {"<![CDATA[", "]]>"}, {"<?", "?>"}, {"<!", ">"}};
    for (qsizetype at = bytes.indexOf('<'); at >= 0 && deepest <= kMaxDepth; at = bytes.indexOf('<', at + 1)) {
        const QByteArrayView rest = QByteArrayView(bytes).sliced(at);
        const auto section = std::find_if(std::begin(kSections), std::end(kSections),
                                          [&rest](const auto &kinds) { return rest.startsWith(kinds.first); });
        if (section != std::end(kSections)) {
            qsizetype end = bytes.indexOf(section->second, at + section->first.size());
            end = end < 0 ? bytes.size() : end;
            for (qsizetype inner = bytes.indexOf('<', at + 1); inner >= 0 && inner < end;
                 inner = bytes.indexOf('<', inner + 1)) {
                if (container(inner + 1))
                    open();
            }
            at = end;
            continue;
        }
        if (rest.startsWith("</")) {
            if (container(at + 2))
                depth = std::max(0, depth - 1);
        } else if (container(at + 1)) {
            open();
        }
    }
    return deepest;
}

} // namespace

namespace PlistGuard {

bool safeToParse(const QByteArray &bytes, bool binary)
{
    if (binary)
        return binarySafe(bytes);
    // XML may not hold a NUL character at all.
    return !bytes.contains('\0') && xmlDepthBound(bytes) <= kMaxDepth;
}

} // namespace PlistGuard
