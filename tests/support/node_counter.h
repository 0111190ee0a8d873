// Counts the card nodes that live now against the count when a test began, so that a
// test sees every node destroyed exactly once, and not before its last release.
#pragma once

#include "card/nodes.h"

class NodeCounter {
public:
    NodeCounter() : constructed(CardObject::ConstructedCount()), destroyed(CardObject::DestroyedCount()) {}
    long Constructed() const { return CardObject::ConstructedCount() - constructed; }
    long Destroyed() const { return CardObject::DestroyedCount() - destroyed; }
    long Alive() const { return Constructed() - Destroyed(); }

private:
    long constructed;
    long destroyed;
};
