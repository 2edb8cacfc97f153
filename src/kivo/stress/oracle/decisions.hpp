#pragma once

// The decisions one copy or paste makes, as the oracle sees them: which refusal and why, which
// naming rule, which case of the renumbering, which limit of the geometry. Strict planning prefers
// requests that reach decisions the run has reached least.

#include <bitset>
#include <cstdint>
#include <string_view>

namespace kivo::stress::oracle {

// One table of the decisions, so that their names cannot drift from the enumeration.
// clang-format off
#define KIVO_ORACLE_DECISIONS(X) \
  /* Requests and their refusals. */ \
  X(CopyScreen) X(CopySlice) X(CopyMask) X(Paste) X(RefusedPolicy) X(ScreenSourceMissing) \
  X(ScreenSourceOtherKind) X(TargetNoScreensList) X(LayerNoParent) X(ParentMissing) \
  X(ParentOtherKind) X(ParentWithoutLayers) X(LayerMissing) X(LayerOfOtherTag) \
  X(LayerInSecondList) X(NoTargetId) X(TargetMissing) X(TargetOtherKind) X(TargetWithoutLayers) \
  /* Display names. */ \
  X(ScreenRenamed) X(LayerRenamed) X(RenamedWithNumber) X(NameFromParams) X(NameFromAttribute) \
  X(NameDefault) X(NameSourcesDisagree) X(ValuelessNamePassed) X(NamelessGroupPassed) \
  X(GroupWithoutNamePassed) X(TakenNamesDisagree) X(EmptyName) X(TakenByOtherTagOnly) \
  X(DevicesRenamed) X(VirtualDeviceRenamed) X(OtherDeviceRenamed) X(SecondDeviceListKept) \
  X(RenamedWithoutParam) \
  /* Identifiers. */ \
  X(UniqueIdFallback) X(IdHashFallback) X(CounterFromSignedText) X(CounterFromPaddedText) \
  X(CounterWrapped) X(CandidateSkipped) X(RepeatedInSubtree) X(ReferenceRewritten) \
  X(NewUniqueIdIsOldIdHash) X(NewIdHashIsOldUniqueId) X(NoIdentifiersCopied) \
  /* Shapes. */ \
  X(LookalikeAttribute) X(PrefixedName) X(LookalikeElement) X(LookalikeScreenSetup) \
  X(LookalikeScreens) X(LookalikeScreen) X(LookalikeLayers) X(LookalikeSlice) \
  X(LookalikeParams) X(LookalikeParam) X(LookalikeInputRect) X(LookalikeSliceMask) \
  X(LookalikeVertex) X(LookalikeOutputDevice) \
  /* Pastes. */ \
  X(PasteSourceMissing) X(PasteSourceIsMask) X(PasteNoMask) X(SourceRectMissing) \
  X(SourceRectFewVertices) X(SourceRectZeroSize) X(SourceRectNotFinite) \
  X(SourceCoordinateMissing) X(SourceCoordinateInvalid) X(PasteTargetMissing) \
  X(TargetRectMissing) X(TargetRectFewVertices) X(TargetRectZeroSize) X(TargetRectNotFinite) \
  X(TargetCoordinateMissing) X(TargetCoordinateInvalid) X(OverwriteRefused) X(AspectRefused) \
  X(AspectRefusedNearLimit) X(MaskVertexMissing) X(MaskVertexInvalid) X(Overwrote) X(Appended) \
  X(AspectAtLimit) X(AspectNearLimit) X(ZeroSizeAtLimit) X(NaNVertexInBox) X(NaNWritten) \
  X(InfinityWritten) X(TinyNegativeWritten) X(NearTieWritten) X(HugeWritten) X(VertexNested) \
  X(VertexDirectlyInMask) X(LookalikeVertexKept) X(SliceUnderOtherKind) X(SecondMaskKept)
// clang-format on

enum class Decision : std::uint8_t {
#define KIVO_ORACLE_DECISION_ENUMERATOR(name) name,
  KIVO_ORACLE_DECISIONS(KIVO_ORACLE_DECISION_ENUMERATOR)
#undef KIVO_ORACLE_DECISION_ENUMERATOR
      Count
};

/// The decisions one request makes.
using Decisions = std::bitset<static_cast<std::size_t>(Decision::Count)>;

/// The decision's name, for reports ("AspectAtLimit").
std::string_view decision_name(Decision decision);

/// Marks `decision` in `decisions`.
inline void mark(Decisions& decisions, Decision decision) {
  decisions.set(static_cast<std::size_t>(decision));
}

}  // namespace kivo::stress::oracle
