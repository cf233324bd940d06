#include "presentation/television.h"

#include <gtest/gtest.h>

#include <vector>

#include "shell/app_state.h"

namespace {

// Each test gets a fresh program-wide state.
class Television : public ::testing::Test {
 protected:
  void SetUp() override { SetApp(&state_); }
  void TearDown() override { SetApp(nullptr); }

  std::vector<int32_t> ListIds() {
    std::vector<int32_t> ids;
    for (CTV* tv = CTV::Head(); tv; tv = tv->Next()) ids.push_back(tv->Id());
    return ids;
  }

  AppState state_;
};

}  // namespace

TEST_F(Television, IdsAreNeverReusedAndTheListKeepsConstructionOrder) {
  auto* a = new CTV;
  auto* b = new CTV;
  auto* c = new CTV;
  EXPECT_EQ(ListIds(), (std::vector<int32_t>{1, 2, 3}));
  delete c;
  auto* d = new CTV;
  EXPECT_EQ(d->Id(), 4);
  delete a;
  EXPECT_EQ(ListIds(), (std::vector<int32_t>{2, 4}));
  EXPECT_EQ(CTV::Count(), 2);
  delete b;
  delete d;
  EXPECT_EQ(CTV::Head(), nullptr);
  EXPECT_EQ(CTV::Count(), 0);
}

TEST_F(Television, CloneShowsItsSourceAndTakesTheTexturesAgainOnRestore) {
  auto* machine = new CTV;
  CTV* clone = new CTV(machine, 1, 2, 3);
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
  auto* a = new CTV;
  auto* b = new CTV;
  b->SetExclusive(true);
  EXPECT_TRUE(b->IsExclusive());
  EXPECT_FALSE(a->IsExclusive());
  EXPECT_EQ(state_.requestedViewMode, VIEW_EXCLUSIVE);
  delete b;
  EXPECT_EQ(state_.exclusive, nullptr);
  EXPECT_EQ(state_.requestedViewMode, VIEW_SCENE);
  delete a;
}
