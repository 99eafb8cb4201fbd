// The display-list storage account: when rebuilt chunks leave dead storage
// behind, and which survivors to recompile so that the driver can free it.
#include <gtest/gtest.h>

#include "render/ListStorage.h"

TEST(ListStorage, AsksToCompactTheSparsestFinishedGenerationOnlyPastTheLimit)
{
    ListStorage storage(100, 50); // generations of 100 vertices, 50 dead tolerated
    int a[4], b[4];
    for (int i = 0; i < 4; ++i)
        a[i] = storage.Compiled(25); // generation 0, finished by the fourth
    for (int i = 0; i < 4; ++i)
        b[i] = storage.Compiled(25); // generation 1
    EXPECT_EQ(a[0], 0);
    EXPECT_EQ(a[3], 0);
    EXPECT_EQ(b[0], 1);

    // Rebuilding deletes old lists: 25 dead in generation 0, 50 in 1.
    storage.Deleted(a[0], 25);
    storage.Deleted(b[0], 25);
    storage.Deleted(b[1], 25);
    EXPECT_EQ(storage.DeadVertices(), 75u);
    EXPECT_EQ(storage.LiveVertices(), 125u);
    // Past the limit: generation 1 is the sparser one, and stays the answer
    // while it has survivors, whatever else happens.
    EXPECT_EQ(storage.GenerationToCompact(), 1);
    storage.Deleted(a[1], 25);
    storage.Deleted(a[2], 25);
    EXPECT_EQ(storage.GenerationToCompact(), 1);

    // Recompiling its survivors empties it: its storage is gone from the
    // account, and generation 0 (one survivor) is next.
    storage.Deleted(b[2], 25);
    storage.Compiled(25);
    storage.Deleted(b[3], 25);
    storage.Compiled(25);
    EXPECT_EQ(storage.DeadVertices(), 75u);
    EXPECT_EQ(storage.GenerationToCompact(), 0);
    storage.Deleted(a[3], 25);
    EXPECT_EQ(storage.DeadVertices(), 0u);
    EXPECT_EQ(storage.GenerationToCompact(), -1);

    // A generation set aside (a survivor too costly to move) is passed over
    // and its dead no longer count, until it loses another list.
    ListStorage aside(100, 30);
    int c[4], d[4];
    for (int i = 0; i < 4; ++i)
        c[i] = aside.Compiled(25);
    for (int i = 0; i < 4; ++i)
        d[i] = aside.Compiled(25);
    aside.Deleted(c[0], 25);
    aside.Deleted(c[1], 25); // generation 0: 50 dead, the sparsest
    aside.Deleted(d[0], 25); // generation 1: 25 dead
    EXPECT_EQ(aside.GenerationToCompact(), 0);
    aside.SetAside(0);
    EXPECT_EQ(aside.GenerationToCompact(), -1); // 25 countable dead: within the limit
    aside.Deleted(d[1], 25);
    EXPECT_EQ(aside.GenerationToCompact(), 1);
    aside.Deleted(c[2], 25); // the held-back list may be gone: generation 0 counts again
    EXPECT_EQ(aside.DeadVertices(), 125u);
    aside.SetAside(1);
    EXPECT_EQ(aside.GenerationToCompact(), 0);

    // Deletions in the generation still being filled are not dead yet: its
    // buffer is still in use.
    ListStorage filling(100, 10);
    const int g = filling.Compiled(40);
    filling.Deleted(g, 40);
    EXPECT_EQ(filling.DeadVertices(), 0u);
    EXPECT_EQ(filling.GenerationToCompact(), -1);
}
