#include "effectfile/particle_fields.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <set>

namespace {

struct Span {
  std::size_t offset, size, align;
};

// Where each of the table's members lies in the record, in order of their offsets.
template <typename R>
std::vector<Span> MemberSpans() {
  const R record{};
  const auto* base = reinterpret_cast<const char*>(&record);
  std::vector<Span> spans;
  for (const auto& field : fields::Record<R>::kFields) {
    fields::Visit(field, record, [&](const auto& member) {
      using T = std::remove_cvref_t<decltype(member)>;
      spans.push_back({static_cast<std::size_t>(reinterpret_cast<const char*>(&member) - base), sizeof(T),
                       alignof(T)});
    });
  }
  std::sort(spans.begin(), spans.end(), [](const Span& a, const Span& b) { return a.offset < b.offset; });
  return spans;
}

// Every member of the record has a row: laid out one after the other, the rows' members fill the
// record but for alignment padding, so a member without a row leaves a gap (unless it is small
// enough to sit in padding, which no layout can tell).
template <typename R>
void ExpectEveryMemberHasOneRow(const char* name) {
  const auto align = [](std::size_t at, std::size_t to) { return (at + to - 1) / to * to; };
  std::size_t end = 0;
  std::set<std::string_view> keys;
  for (const auto& field : fields::Record<R>::kFields)
    EXPECT_TRUE(keys.insert(field.Key).second) << field.Key;
  for (const Span& span : MemberSpans<R>()) {
    EXPECT_EQ(span.offset, align(end, span.align))
        << name << ": a gap or an overlap before offset " << span.offset;
    end = span.offset + span.size;
  }
  EXPECT_EQ(sizeof(R), align(end, alignof(R))) << name << ": members after offset " << end << " have no row";
}

TEST(ParticleFieldsTest, EveryMemberOfEveryRecordHasOneRowUnderItsOwnKey) {
  ExpectEveryMemberHasOneRow<D3DXVECTOR3>("D3DXVECTOR3");
  ExpectEveryMemberHasOneRow<D3DXCOLOR>("D3DXCOLOR");
  ExpectEveryMemberHasOneRow<PlotPoint>("PlotPoint");
  ExpectEveryMemberHasOneRow<SoundTrack>("SoundTrack");
  ExpectEveryMemberHasOneRow<PhysicsParams>("PhysicsParams");
  ExpectEveryMemberHasOneRow<BillboardParams>("BillboardParams");
  ExpectEveryMemberHasOneRow<MeshParams>("MeshParams");
  ExpectEveryMemberHasOneRow<EmissionParams>("EmissionParams");
  ExpectEveryMemberHasOneRow<ParticleParams>("ParticleParams");
}

TEST(ParticleFieldsTest, SameTellsNaNAlikeAndZeroFromMinusZeroInNestedValues) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  ParticleParams a, b;
  a.Billboard.PlotPoints = b.Billboard.PlotPoints = {{{nan, 1, 2, 3}, 4}};
  a.Emission.Physics.BounceFactor = b.Emission.Physics.BounceFactor = -nan;
  EXPECT_TRUE(fields::Same(a, b));
  EXPECT_FALSE(a == b);
  b.Billboard.PlotPoints[0].Value[3] = -3;
  EXPECT_FALSE(fields::Same(a, b));
  ParticleParams zero, minusZero;
  minusZero.Mesh.Rotation.z = -0.0f;
  EXPECT_FALSE(fields::Same(zero, minusZero));
  EXPECT_TRUE(zero == minusZero);
}

}  // namespace
