#include "presentation/television.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// Each test gets a television list of its own.
class Television : public ::testing::Test {
 protected:
  std::vector<int32_t> ListIds() {
    std::vector<int32_t> ids;
    for (CTV* tv = list_.Head(); tv; tv = tv->Next()) ids.push_back(tv->Id());
    return ids;
  }

  CTelevisionList list_;
};

}  // namespace

TEST_F(Television, IdsAreNeverReusedAndTheListKeepsConstructionOrder) {
  auto* a = new CTV(list_);
  auto* b = new CTV(list_);
  auto* c = new CTV(list_);
  EXPECT_EQ(ListIds(), (std::vector<int32_t>{1, 2, 3}));
  delete c;
  auto* d = new CTV(list_);
  EXPECT_EQ(d->Id(), 4);
  delete a;
  EXPECT_EQ(ListIds(), (std::vector<int32_t>{2, 4}));
  EXPECT_EQ(list_.Count(), 2);
  delete b;
  delete d;
  EXPECT_EQ(list_.Head(), nullptr);
  EXPECT_EQ(list_.Count(), 0);
}

TEST_F(Television, CloneShowsItsSourceAndTakesTheTexturesAgainOnRestore) {
  auto* machine = new CTV(list_);
  CTV* clone = new CTV(*machine, 1, 2, 3);
  EXPECT_EQ(clone->PictureSourceId(), machine->Id());
  EXPECT_FLOAT_EQ(clone->position[2], 3.0f);
  EXPECT_TRUE(clone->transformChanged);

  clone->ReleaseScreenTexture();
  EXPECT_EQ(clone->ScreenTexture(), nullptr);
  clone->RestoreScreenTexture();  // source has none either: still null, no crash
  EXPECT_EQ(clone->ScreenTexture(), nullptr);
  delete clone;
  EXPECT_EQ(ListIds(), (std::vector<int32_t>{machine->Id()}));
  delete machine;
}

TEST_F(Television, DeletingTheExclusiveTelevisionReturnsToTheSceneView) {
  auto* a = new CTV(list_);
  auto* b = new CTV(list_);
  b->SetExclusive(true);
  EXPECT_TRUE(b->IsExclusive());
  EXPECT_FALSE(a->IsExclusive());
  EXPECT_EQ(list_.RequestedViewMode(), VIEW_EXCLUSIVE);
  delete b;
  EXPECT_EQ(list_.Exclusive(), nullptr);
  EXPECT_EQ(list_.RequestedViewMode(), VIEW_SCENE);
  delete a;
}

TEST_F(Television, AChannelChangeShowsStaticForHalfASecondOnTheSetAndItsClones) {
  list_.tubeEffect = false;
  auto* machine = new CTV(list_);
  EXPECT_FALSE(machine->TubeEffect()) << "a new set takes the list's look";
  CTV* clone = new CTV(*machine, 0, 0, 0);
  EXPECT_EQ(machine->StaticNoise(), 0.0f) << "no channel change yet";
  list_.clock = 10;
  machine->StartStatic();
  const struct {
    float clock, noise;
  } times[] = {{10, 1}, {10.25f, 0.5f}, {10.5f, 0}, {11, 0}, {9, 0}};
  for (const auto& t : times) {
    list_.clock = t.clock;
    EXPECT_FLOAT_EQ(machine->StaticNoise(), t.noise) << t.clock;
    EXPECT_FLOAT_EQ(clone->StaticNoise(), t.noise) << t.clock;
  }
  delete clone;
  delete machine;
}
