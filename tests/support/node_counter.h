// Counts the card nodes destroyed and alive since a test began, so that a test sees every
// node destroyed exactly once, and not before its last release.
#pragma once

#include "card/nodes.h"

class NodeCounter {
public:
    long Destroyed() const { return CardObject::DestroyedCount() - destroyed; }
    long Alive() const { return CardObject::ConstructedCount() - constructed - Destroyed(); }

private:
    long constructed = CardObject::ConstructedCount(), destroyed = CardObject::DestroyedCount();
};
