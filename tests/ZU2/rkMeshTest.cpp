#include "ZU2/rkMesh.h"

#include <gtest/gtest.h>

#include <numbers>

#include "ZU2/rkObject.h"

namespace {

rkVertex At(float x, float y, float z) {
    rkVertex v{};
    v.position = {x, y, z};
    v.normal = {1, 0, 0};
    return v;
}

TEST(rkMesh, ArraysGrowInFixedSteps) {
    rkMesh* mesh = rkCreateMesh(RK_TRIANGLELIST, RK_VERTEX_LIT, true);
    ASSERT_NE(mesh, nullptr);
    EXPECT_EQ(mesh->flags, RK_MESH_HEAP | RK_MESH_INDEXED);
    for (int i = 0; i < 17; ++i) EXPECT_EQ(rkAddVertex(mesh, At(float(i), 0, 0)), i);
    EXPECT_EQ(mesh->vertexCapacity, 32);
    EXPECT_EQ(rkAddIndex(mesh, 7), 0);
    EXPECT_EQ(mesh->indexCapacity, 128);
    EXPECT_TRUE(mesh->flags & RK_MESH_OWNS_VERTICES);
    EXPECT_TRUE(mesh->flags & RK_MESH_OWNS_INDICES);
    EXPECT_FLOAT_EQ(mesh->vertices[16].position.x, 16.0f);
    rkFreeMesh(mesh);
}

TEST(rkMesh, ALentFullArrayCannotGrow) {
    rkVertex lent[2] = {At(0, 0, 0), At(1, 0, 0)};
    rkMesh* mesh = rkCreateMesh(RK_LINELIST, RK_VERTEX_UNLIT, false);
    mesh->vertices = lent;
    mesh->vertexCount = mesh->vertexCapacity = 2;
    EXPECT_EQ(rkAddVertex(mesh, At(2, 0, 0)), -1);
    rkFreeMesh(mesh);  // must not free the lent array
}

TEST(rkMesh, CloneCopiesArraysAndKeepsSettings) {
    rkMesh* mesh = rkCreateMesh(RK_TRIANGLELIST, RK_VERTEX_LIT, true);
    rkAddVertex(mesh, At(1, 2, 3));
    rkAddIndex(mesh, 0);
    mesh->material.power = 12.0f;
    mesh->user = mesh;
    rkMesh* copy = rkCloneMesh(mesh);
    ASSERT_NE(copy, nullptr);
    EXPECT_NE(copy->vertices, mesh->vertices);
    EXPECT_NE(copy->indices, mesh->indices);
    EXPECT_EQ(copy->flags, RK_MESH_HEAP | RK_MESH_INDEXED | RK_MESH_OWNS_VERTICES |
                               RK_MESH_OWNS_INDICES);
    EXPECT_FLOAT_EQ(copy->vertices[0].position.z, 3.0f);
    EXPECT_EQ(copy->indexCount, 1);
    EXPECT_FLOAT_EQ(copy->material.power, 12.0f);
    EXPECT_EQ(copy->user, mesh);
    rkFreeMesh(mesh);
    rkFreeMesh(copy);
}

TEST(rkMesh, TransformMovesPositionsAndTurnsNormalsOfLitMeshes) {
    rkMesh* lit = rkCreateMesh(RK_POINTLIST, RK_VERTEX_LIT, false);
    rkMesh* unlit = rkCreateMesh(RK_POINTLIST, RK_VERTEX_UNLIT, false);
    rkAddVertex(lit, At(1, 0, 0));
    rkAddVertex(unlit, At(1, 0, 0));
    rkMatrix m;
    rkRotationMatrix(&m, 2, std::numbers::pi_v<float> / 2);
    m.m[0] *= 2, m.m[1] *= 2;  // a scaled turn: normals must stay unit length
    m.m[14] = 5.0f;
    rkTransformMesh(lit, m);
    rkTransformMesh(unlit, m);
    EXPECT_NEAR(lit->vertices[0].position.y, 2.0f, 1e-5f);
    EXPECT_NEAR(lit->vertices[0].position.z, 5.0f, 1e-5f);
    EXPECT_NEAR(lit->vertices[0].normal.x, 0.0f, 1e-5f);
    EXPECT_NEAR(lit->vertices[0].normal.y, 1.0f, 1e-5f);
    EXPECT_FLOAT_EQ(unlit->vertices[0].normal.x, 1.0f);
    rkFreeMesh(lit);
    rkFreeMesh(unlit);
}

TEST(rkObject, LightDefaultsDependOnType) {
    rkLight* spot = rkCreateLight(3);
    EXPECT_EQ(spot->head.cls, RK_LIGHT);
    EXPECT_EQ(spot->head.flags, RK_OBJECT_CHANGED);
    EXPECT_EQ(spot->slot, -1);
    EXPECT_FLOAT_EQ(spot->data.direction.z, 1.0f);
    EXPECT_FLOAT_EQ(spot->data.phi, 180.0f);
    EXPECT_FLOAT_EQ(spot->data.attenuation[0], 1.0f);
    rkLight* point = rkCreateLight(2);
    EXPECT_FLOAT_EQ(point->data.direction.z, 0.0f);
    EXPECT_TRUE(rkFreeLight(spot));
    EXPECT_TRUE(rkFreeLight(point));
}

TEST(rkObject, LightSlotsAreEightAndComeBackOnFree) {
    rkLight* lights[9];
    for (int i = 0; i < 9; ++i) {
        lights[i] = rkCreateLight(2);
        EXPECT_EQ(rkTakeLightSlot(lights[i]), i < 8 ? i : -1);
    }
    EXPECT_TRUE(rkFreeLight(lights[3]));
    EXPECT_EQ(rkTakeLightSlot(lights[8]), 3);
    rkReleaseAllLightSlots();
    for (int i = 0; i < 9; ++i) {
        if (i != 3) {
            EXPECT_TRUE(rkFreeLight(lights[i]));
        }
    }
}

}  // namespace
