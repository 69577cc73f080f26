#pragma once

// The animation runtime in one include. How an animated model drives it:
//
//   load     bytes read through the pack-file layer -> ReadFile (null + message on bad data)
//            -> TransformFile(file, EngineBasisConversion()); File::models, ::meshes,
//            ::materials (colourTexture -> File::textures[].fileName), ::animations
//   meshes   MeshBinding(mesh, skeleton) per mesh (another model's skeleton to share its pose);
//            Mesh::rigid, CopyVertices, CopyBoneIndices, CopyGroupIndices, MeshBone boxes
//   pose     ModelInstance(skeleton); PlayAnimation(animation, start) -> AnimationControl* with
//            speed, weight, loop count, ease in/out, complete-at, raw clock, durations;
//            each frame SetClock, SampleAnimations(local pose), BuildWorldPose(skeleton, local,
//            offset or null, world pose), FreeCompletedControls
//   draw     DeformVertices(binding, worldPose.Composites(), caller's buffer) for deformed
//            meshes; rigid ones use Composites()[binding.BoneMap()[0]]
//   queries  Skeleton::FindBone, WorldPose::BoneMatrix, RayIntersectsTriangle

#include "platform/skeleton/AnimationControl.h"
#include "platform/skeleton/BasisConversion.h"
#include "platform/skeleton/Deformer.h"
#include "platform/skeleton/FileData.h"
#include "platform/skeleton/FileReader.h"
#include "platform/skeleton/MeshBinding.h"
#include "platform/skeleton/ModelInstance.h"
#include "platform/skeleton/Pose.h"
#include "platform/skeleton/RayTriangle.h"
#include "platform/skeleton/Transform.h"
