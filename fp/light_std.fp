!!ARBfp1.0
# Per-pixel lighting by one point light, one pass per light.
#   unit 0: normal map, colours [0, 1] encode normals [-1, 1]
#   unit 1: attenuation volume, coordinates already mapped through the texture matrix
#   unit 2: decal (colour) texture
#   unit 3: normalisation cube map, looked up with the tangent-space light vector;
#           its bytes hold c * 127 + 128, so c = colour * 255/127 - 128/127
# colour = decal * max(0, normal . light) * attenuation * primary colour (the light's)
PARAM cubeScale = { 2.007874, 2.007874, 2.007874, 0 };
PARAM cubeBias = { -1.007874, -1.007874, -1.007874, 0 };
TEMP normal, toLight, decal, attenuation, diffuse;
TEX normal, fragment.texcoord[0], texture[0], 2D;
TEX attenuation, fragment.texcoord[1], texture[1], 3D;
TEX decal, fragment.texcoord[2], texture[2], 2D;
TEX toLight, fragment.texcoord[3], texture[3], CUBE;
MAD normal, normal, 2.0, -1.0;
MAD toLight, toLight, cubeScale, cubeBias;
DP3_SAT diffuse, normal, toLight;
MUL decal, decal, diffuse;
MUL decal, decal, attenuation;
MUL result.color, decal, fragment.color;
END
