#pragma once
// Finding components among a drawing's objects by what the user types: the
// matches in the order a list of parts gives them, and the way from one
// match to the next.

#include <QString>
#include <cstddef>
#include <memory>
#include <vector>

class Bitmap;
class QuorvidObject;

// The components among the objects whose designation, value or package
// contains `text`, ignoring letter case, in natural designation order
// (components of one designation in list order). No text finds nothing.
std::vector<Bitmap*> FindComponents(const std::vector<std::unique_ptr<QuorvidObject>>& objects, const QString& text);

// The index among `matches` (not empty) of the one after `current` (forward)
// or before it, going round at either end; the first (last) when `current`
// is not among them.
std::size_t NextMatch(const std::vector<Bitmap*>& matches, const Bitmap* current, bool forward);
