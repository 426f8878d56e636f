// The page's fixed-function pipeline on the CPU (see ffp.h): matrices, per-vertex
// lighting as OpenGL 1.1 defines it, primitive assembly into triangles the way
// Mesa splits them, GLU's quadrics vertex for vertex as Debian's libGLU emits
// them (kept as meshes after their first use), and the 2-D evaluator.
#include "ffp.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <set>
#include <tuple>

namespace ffp {
namespace {

const double pi = 3.141592653589793;
const int maxOrder = 30;            // highest evaluator order, as in Mesa
const size_t maxVertices = 65536;   // a frame's vertices addressed by 16-bit indices
const size_t maxMeshes = 64;        // quadric meshes kept before the cache starts over

// Column-major 4x4, as GL keeps it.
struct Matrix {
    float m[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
};

// a times b.
Matrix product(const Matrix& a, const Matrix& b)
{
    Matrix r;
    for (int col = 0; col < 4; col++)
        for (int row = 0; row < 4; row++) {
            float sum = 0.0f;
            for (int k = 0; k < 4; k++)
                sum += a.m[row + 4 * k] * b.m[k + 4 * col];
            r.m[row + 4 * col] = sum;
        }
    return r;
}

// The light, the material and the light model as far as the program sets them
// (no specular term: the material's specular colour stays black).
struct Light {
    float position[4] = {0.0f, 0.0f, 1.0f, 0.0f};   // eye coordinates
    float direction[3] = {0.0f, 0.0f, 1.0f};        // unit, toward a directional light
    float ambient[4] = {0.0f, 0.0f, 0.0f, 1.0f};
    float diffuse[4] = {1.0f, 1.0f, 1.0f, 1.0f};
};
struct Material {
    float ambient[4] = {0.2f, 0.2f, 0.2f, 1.0f};
    float diffuse[4] = {0.8f, 0.8f, 0.8f, 1.0f};
    float emission[4] = {0.0f, 0.0f, 0.0f, 1.0f};
};
const float globalAmbient[4] = {0.2f, 0.2f, 0.2f, 1.0f};   // the light model's default

// A quadric's primitives in object coordinates, kept to be drawn again.
struct Mesh {
    struct Point {
        float position[3], normal[3], texCoord[2];
    };
    bool texture = false;                               // texture coordinates given
    std::vector<Point> points;
    std::vector<std::pair<GLenum, size_t>> primitives;  // mode, vertex count
    float normal[3] = {0.0f, 0.0f, 1.0f};               // in force while recording
    float texCoord[2] = {0.0f, 0.0f};

    void begin(GLenum mode) { primitives.push_back({mode, 0}); }
    void setNormal(double x, double y, double z)
    {
        normal[0] = float(x), normal[1] = float(y), normal[2] = float(z);
    }
    void setTexCoord(double s, double t) { texCoord[0] = float(s), texCoord[1] = float(t); }
    void vertex(double x, double y, double z)
    {
        points.push_back({{float(x), float(y), float(z)},
                          {normal[0], normal[1], normal[2]}, {texCoord[0], texCoord[1]}});
        primitives.back().second++;
    }
};

// The 2-D evaluator's map: control points in u-major order, 3 each.
struct Map2 {
    float u1, u2, v1, v2;
    int uorder = 0, vorder = 0;
    std::vector<double> points;
};

// All of the pipeline's state.
struct State {
    std::vector<Matrix> modelview{Matrix()}, projection{Matrix()};
    std::vector<Matrix>* stack = &modelview;   // the one glMatrixMode chose
    // Alongside each model-view: its part up to the last gluLookAt (view) and
    // the transforms since (model), so that modelview = view * model.
    std::vector<Matrix> view{Matrix()}, model{Matrix()};
    bool derivedStale = true;                  // camera and normal matrices need recomputing
    Matrix camera;                             // projection times view
    float normalMatrix[9];                     // inverse transpose of the model-view's 3x3, row-major
    Light light0;
    Material material;
    bool lightingStale = true;                 // the colour parts below need recomputing
    float baseColor[4];                        // emission and ambient terms
    float diffuseColor[3];                     // light diffuse times material diffuse
    bool lighting = false, lightOn = false, normalize = false, texturing = false, map2On = false;
    float normal[3] = {0.0f, 0.0f, 1.0f};      // current normal
    float texCoord[2] = {0.0f, 0.0f};          // current texture coordinates
    GLuint bound = 0;                          // 2-D texture binding
    std::set<GLuint> withImage;                // textures given a level-0 image
    GLenum mode = 0;                           // of the open glBegin
    size_t first = 0;                          // its first vertex in the frame
    size_t batch = 0;                          // the frame's batch it draws into
    Map2 map2;
    std::map<std::tuple<char, double, double, double, int, int, bool>, Mesh> meshes;
    Frame frame;
} state;
Sink sink = nullptr;   // constant-initialised: may be set from another unit's static initialiser

Matrix& top()
{
    state.derivedStale = true;
    return state.stack->back();
}

void updateDerived()
{
    const Matrix& mv = state.modelview.back();
    state.camera = product(state.projection.back(), state.view.back());
    // The inverse of the 3x3 by cofactors; its transpose maps normals.
    const auto a = [&](int row, int col) { return double(mv.m[row + 4 * col]); };
    double cof[9];
    for (int r = 0; r < 3; r++)
        for (int c = 0; c < 3; c++) {
            const int r1 = (r + 1) % 3, r2 = (r + 2) % 3, c1 = (c + 1) % 3, c2 = (c + 2) % 3;
            cof[3 * r + c] = a(r1, c1) * a(r2, c2) - a(r1, c2) * a(r2, c1);
        }
    const double det = a(0, 0) * cof[0] + a(0, 1) * cof[1] + a(0, 2) * cof[2];
    for (int k = 0; k < 9; k++)
        state.normalMatrix[k] = det != 0.0 ? float(cof[k] / det) : 0.0f;
    state.derivedStale = false;
}

void updateLighting()
{
    const Material& m = state.material;
    const Light& l = state.light0;
    for (int k = 0; k < 3; k++) {
        state.baseColor[k] = m.emission[k] + m.ambient[k] * globalAmbient[k];
        if (state.lightOn)
            state.baseColor[k] += m.ambient[k] * l.ambient[k];
        state.diffuseColor[k] = state.lightOn ? m.diffuse[k] * l.diffuse[k] : 0.0f;
    }
    state.baseColor[3] = m.diffuse[3];
    state.lightingStale = false;
}

float clamp(float c)
{
    return c < 0.0f ? 0.0f : c > 1.0f ? 1.0f : c;
}

// The lit colour of the vertex at `objectPos` under the current normal.
void shade(const float* objectPos, float* color)
{
    if (!state.lighting) {   // the current colour, which the program leaves white
        std::fill(color, color + 4, 1.0f);
        return;
    }
    if (state.lightingStale)
        updateLighting();
    const float* nm = state.normalMatrix;
    const float* n0 = state.normal;
    float n[3];
    for (int k = 0; k < 3; k++)
        n[k] = nm[3 * k] * n0[0] + nm[3 * k + 1] * n0[1] + nm[3 * k + 2] * n0[2];
    if (state.normalize) {
        const float length = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
        if (length > 0.0f)
            for (float& c : n)
                c /= length;
    }
    float toLight[3];
    const Light& l = state.light0;
    if (l.position[3] == 0.0f) {
        std::copy(l.direction, l.direction + 3, toLight);
    } else {
        const float* mv = state.modelview.back().m;
        float length2 = 0.0f;
        for (int k = 0; k < 3; k++) {
            const float eye = mv[k] * objectPos[0] + mv[4 + k] * objectPos[1] + mv[8 + k] * objectPos[2] + mv[12 + k];
            toLight[k] = l.position[k] / l.position[3] - eye;
            length2 += toLight[k] * toLight[k];
        }
        for (float& c : toLight)
            c /= length2 > 0.0f ? std::sqrt(length2) : 1.0f;
    }
    const float diffuse = std::max(0.0f, n[0] * toLight[0] + n[1] * toLight[1] + n[2] * toLight[2]);
    for (int k = 0; k < 3; k++)
        color[k] = clamp(state.baseColor[k] + diffuse * state.diffuseColor[k]);
    color[3] = clamp(state.baseColor[3]);
}

// The batch of the texture that drawing uses now: 0 while texturing is off or
// the bound texture has no image, as GL then draws untextured.
size_t currentBatch()
{
    const GLuint texture = state.texturing && state.withImage.count(state.bound) ? state.bound : 0;
    std::vector<Batch>& batches = state.frame.batches;
    for (size_t i = 0; i < batches.size(); i++)
        if (batches[i].texture == texture)
            return i;
    batches.push_back({texture, {}});
    return batches.size() - 1;
}

void flush()
{
    if (sink && !state.frame.vertices.empty())
        sink(state.frame);
    state.frame.vertices.clear();
    state.frame.batches.clear();
}

// Triangle (a, b, c) of the open primitive.
void triangle(std::vector<GLushort>& indices, size_t a, size_t b, size_t c)
{
    const size_t first = state.first;
    indices.insert(indices.end(), {GLushort(first + a), GLushort(first + b), GLushort(first + c)});
}

// Sphere vertex at slice i (angle 2 pi i / slices about z, from +y toward +x)
// on ring k (angle pi k / stacks down from +z).
void sphereVertex(Mesh& mesh, double radius, int i, int slices, int k, int stacks)
{
    const double theta = 2 * pi * i / slices, phi = pi * k / stacks;
    const double x = std::sin(theta) * std::sin(phi), y = std::cos(theta) * std::sin(phi);
    const double z = std::cos(phi);
    mesh.setNormal(x, y, z);
    if (mesh.texture)
        mesh.setTexCoord(1.0 - double(i) / slices, 1.0 - double(k) / stacks);
    mesh.vertex(radius * x, radius * y, radius * z);
}

// Without texture coordinates the two polar caps are triangle fans (north
// first, each around its pole) and the stacks between them quad strips; with
// them every stack is a quad strip. Strips run north to south.
void sphereMesh(Mesh& mesh, double radius, int slices, int stacks)
{
    int first = 0, last = stacks;   // the stacks drawn as strips
    if (!mesh.texture) {
        mesh.setNormal(0.0, 0.0, 1.0);
        mesh.begin(GL_TRIANGLE_FAN);
        mesh.vertex(0.0, 0.0, radius);
        for (int i = slices; i >= 0; i--)
            sphereVertex(mesh, radius, i, slices, 1, stacks);
        mesh.setNormal(0.0, 0.0, -1.0);
        mesh.begin(GL_TRIANGLE_FAN);
        mesh.vertex(0.0, 0.0, -radius);
        for (int i = 0; i <= slices; i++)
            sphereVertex(mesh, radius, i, slices, stacks - 1, stacks);
        first = 1;
        last = stacks - 1;
    }
    for (int k = first; k < last; k++) {
        mesh.begin(GL_QUAD_STRIP);
        for (int i = 0; i <= slices; i++) {
            sphereVertex(mesh, radius, i, slices, k + 1, stacks);
            sphereVertex(mesh, radius, i, slices, k, stacks);
        }
    }
}

// One quad strip per stack from z = 0 up; the radius runs linearly from base
// to top, and each slice's normal leans by the taper.
void cylinderMesh(Mesh& mesh, double base, double top, double height, int slices, int stacks)
{
    const double lean = (base - top) / height;
    const double length = std::sqrt(1.0 + lean * lean);
    for (int j = 0; j < stacks; j++) {
        mesh.begin(GL_QUAD_STRIP);
        for (int i = 0; i <= slices; i++) {
            const double theta = 2 * pi * i / slices;
            const double x = std::sin(theta), y = std::cos(theta);
            mesh.setNormal(x / length, y / length, lean / length);
            for (int k = j; k <= j + 1; k++) {
                const double r = base + (top - base) * k / stacks;
                if (mesh.texture)
                    mesh.setTexCoord(1.0 - double(i) / slices, double(k) / stacks);
                mesh.vertex(r * x, r * y, height * k / stacks);
            }
        }
    }
}

// Disk vertex at slice i on the circle of radius r; the texture spans the
// outer circle.
void diskVertex(Mesh& mesh, double outer, double r, int i, int slices)
{
    const double theta = 2 * pi * i / slices;
    const double x = r * std::sin(theta), y = r * std::cos(theta);
    if (mesh.texture)
        mesh.setTexCoord(0.5 + x / (2 * outer), 0.5 + y / (2 * outer));
    mesh.vertex(x, y, 0.0);
}

// In the plane z = 0, facing +z. A disk without a hole has its innermost
// ring as a triangle fan, drawn first; the other rings are quad strips from
// the outside in.
void diskMesh(Mesh& mesh, double inner, double outer, int slices, int loops)
{
    const auto radius = [&](int loop) { return outer - (outer - inner) * loop / loops; };
    int strips = loops;
    mesh.setNormal(0.0, 0.0, 1.0);
    if (inner == 0.0) {
        mesh.begin(GL_TRIANGLE_FAN);
        diskVertex(mesh, outer, 0.0, 0, slices);
        for (int i = slices; i >= 0; i--)
            diskVertex(mesh, outer, radius(loops - 1), i, slices);
        strips = loops - 1;
    }
    for (int loop = 0; loop < strips; loop++) {
        mesh.begin(GL_QUAD_STRIP);
        for (int i = 0; i <= slices; i++) {
            diskVertex(mesh, outer, radius(loop), i, slices);
            diskVertex(mesh, outer, radius(loop + 1), i, slices);
        }
    }
}

// Draws the mesh of a quadric, made by `make` on first use. A quadric leaves
// its last normal and texture coordinates current, as libGLU's do.
template <typename Make>
void drawQuadric(const Quadric& quadric, std::tuple<char, double, double, double, int, int, bool> key, Make make)
{
    std::get<6>(key) = quadric.texture;
    auto found = state.meshes.find(key);
    if (found == state.meshes.end()) {
        if (state.meshes.size() >= maxMeshes)
            state.meshes.clear();
        Mesh mesh;
        mesh.texture = quadric.texture;
        make(mesh);
        found = state.meshes.emplace(key, std::move(mesh)).first;
    }
    const Mesh& mesh = found->second;
    const Mesh::Point* point = mesh.points.data();
    for (const auto& [mode, count] : mesh.primitives) {
        begin(mode);
        for (const Mesh::Point* last = point + count; point < last; point++) {
            std::copy(point->normal, point->normal + 3, state.normal);
            if (mesh.texture)
                std::copy(point->texCoord, point->texCoord + 2, state.texCoord);
            vertex(point->position[0], point->position[1], point->position[2]);
        }
        end();
    }
}

// Bernstein weights of the given order at t.
void bernstein(int order, double t, double* weight)
{
    weight[0] = 1.0;
    for (int k = 1; k < order; k++) {
        weight[k] = t * weight[k - 1];
        for (int i = k - 1; i > 0; i--)
            weight[i] = t * weight[i - 1] + (1.0 - t) * weight[i];
        weight[0] *= 1.0 - t;
    }
}

}  // namespace

void setSink(Sink to)
{
    sink = to;
}

void finish()
{
    flush();
}

bool enable(GLenum cap, bool on)
{
    switch (cap) {
    case GL_LIGHTING: state.lighting = on; break;
    case GL_LIGHT0: state.lightOn = on; state.lightingStale = true; break;
    case GL_NORMALIZE: state.normalize = on; break;
    case GL_TEXTURE_2D: state.texturing = on; break;
    case GL_MAP2_VERTEX_3: state.map2On = on; break;
    default: return false;
    }
    return true;
}

void matrixMode(GLenum mode)
{
    state.stack = mode == GL_PROJECTION ? &state.projection : &state.modelview;
}

bool onModelview()
{
    return state.stack == &state.modelview;
}

void loadIdentity()
{
    top() = Matrix();
    if (onModelview())
        state.view.back() = state.model.back() = Matrix();
}

void pushMatrix()
{
    state.stack->push_back(state.stack->back());
    if (onModelview()) {
        state.view.push_back(state.view.back());
        state.model.push_back(state.model.back());
    }
}

void popMatrix()
{
    if (state.stack->size() > 1) {
        state.stack->pop_back();
        state.derivedStale = true;
        if (onModelview()) {
            state.view.pop_back();
            state.model.pop_back();
        }
    }
}

void multMatrix(const GLfloat m[16])
{
    Matrix factor;
    std::copy(m, m + 16, factor.m);
    top() = product(top(), factor);
    if (onModelview())
        state.model.back() = product(state.model.back(), factor);
}

void translate(GLfloat x, GLfloat y, GLfloat z)
{
    const GLfloat m[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, x, y, z, 1};
    multMatrix(m);
}

void rotate(GLfloat angle, GLfloat x, GLfloat y, GLfloat z)
{
    const double length = std::sqrt(double(x) * x + double(y) * y + double(z) * z);
    if (length == 0.0)
        return;
    const double u = x / length, v = y / length, w = z / length;
    const double s = std::sin(angle * pi / 180.0), c = std::cos(angle * pi / 180.0), d = 1.0 - c;
    const GLfloat m[16] = {
        float(u * u * d + c), float(v * u * d + w * s), float(u * w * d - v * s), 0.0f,
        float(u * v * d - w * s), float(v * v * d + c), float(v * w * d + u * s), 0.0f,
        float(u * w * d + v * s), float(v * w * d - u * s), float(w * w * d + c), 0.0f,
        0.0f, 0.0f, 0.0f, 1.0f};
    multMatrix(m);
}

void scale(GLfloat x, GLfloat y, GLfloat z)
{
    const GLfloat m[16] = {x, 0, 0, 0, 0, y, 0, 0, 0, 0, z, 0, 0, 0, 0, 1};
    multMatrix(m);
}

// Light 0's position (taken into eye coordinates by the model-view matrix in
// force), ambient and diffuse colours.
void light(GLenum which, GLenum name, const GLfloat* params)
{
    Light& l = state.light0;
    if (which != GL_LIGHT0)
        return;
    if (name == GL_POSITION) {
        const float* mv = state.modelview.back().m;
        for (int k = 0; k < 4; k++)
            l.position[k] = mv[k] * params[0] + mv[4 + k] * params[1] + mv[8 + k] * params[2] + mv[12 + k] * params[3];
        const float length = std::sqrt(l.position[0] * l.position[0] + l.position[1] * l.position[1] +
                                       l.position[2] * l.position[2]);
        for (int k = 0; k < 3; k++)
            l.direction[k] = length > 0.0f ? l.position[k] / length : 0.0f;
    } else if (name == GL_AMBIENT) {
        std::copy(params, params + 4, l.ambient);
    } else if (name == GL_DIFFUSE) {
        std::copy(params, params + 4, l.diffuse);
    }
    state.lightingStale = true;
}

// The front material's ambient, diffuse (or both) and emission colours.
void material(GLenum face, GLenum name, const GLfloat* params)
{
    Material& m = state.material;
    if (face != GL_FRONT && face != GL_FRONT_AND_BACK)
        return;
    if (name == GL_AMBIENT || name == GL_AMBIENT_AND_DIFFUSE)
        std::copy(params, params + 4, m.ambient);
    if (name == GL_DIFFUSE || name == GL_AMBIENT_AND_DIFFUSE)
        std::copy(params, params + 4, m.diffuse);
    if (name == GL_EMISSION)
        std::copy(params, params + 4, m.emission);
    state.lightingStale = true;
}

void bindTexture(GLuint texture)
{
    state.bound = texture;
}

// The program's textures are complete with level 0 alone (linear filters).
void textureImage(GLint level)
{
    if (level == 0)
        state.withImage.insert(state.bound);
}

// A frame has one camera: a new one starts a new frame.
void begin(GLenum mode)
{
    if (state.derivedStale)
        updateDerived();
    Frame& frame = state.frame;
    if (!std::equal(frame.camera, frame.camera + 16, state.camera.m)) {
        flush();
        std::copy(state.camera.m, state.camera.m + 16, frame.camera);
    }
    state.mode = mode;
    state.first = state.frame.vertices.size();
    state.batch = currentBatch();
}

void vertex(GLfloat x, GLfloat y, GLfloat z)
{
    if (state.derivedStale)
        updateDerived();
    Vertex v;
    const float* m = state.model.back().m;
    for (int k = 0; k < 3; k++)
        v.position[k] = m[k] * x + m[4 + k] * y + m[8 + k] * z + m[12 + k];
    const float position[3] = {x, y, z};
    shade(position, v.color);
    v.texCoord[0] = state.texCoord[0];
    v.texCoord[1] = state.texCoord[1];
    state.frame.vertices.push_back(v);
}

// Splits the primitive into triangles as Mesa does (points and lines, which
// the program does not draw, are dropped). A primitive that would take the
// frame past 16-bit indices starts a new one.
void end()
{
    std::vector<Vertex>& vertices = state.frame.vertices;
    size_t n = vertices.size() - state.first;
    if (vertices.size() > maxVertices && n <= maxVertices) {
        const std::vector<Vertex> open(vertices.begin() + state.first, vertices.end());
        vertices.resize(state.first);
        flush();
        vertices = open;
        state.first = 0;
        state.batch = currentBatch();
    }
    std::vector<GLushort>& indices = state.frame.batches[state.batch].indices;
    switch (state.mode) {
    case GL_TRIANGLES:
        for (size_t i = 0; i + 2 < n; i += 3)
            triangle(indices, i, i + 1, i + 2);
        break;
    case GL_TRIANGLE_STRIP:
        for (size_t i = 2; i < n; i++)
            i % 2 ? triangle(indices, i - 1, i - 2, i) : triangle(indices, i - 2, i - 1, i);
        break;
    case GL_TRIANGLE_FAN:
        for (size_t i = 2; i < n; i++)
            triangle(indices, 0, i - 1, i);
        break;
    case GL_POLYGON:
        for (size_t i = 2; i < n; i++)
            triangle(indices, i - 1, i, 0);
        break;
    case GL_QUADS:
        for (size_t i = 0; i + 3 < n; i += 4) {
            triangle(indices, i, i + 1, i + 3);
            triangle(indices, i + 1, i + 2, i + 3);
        }
        break;
    case GL_QUAD_STRIP:
        for (size_t i = 0; i + 3 < n; i += 2) {
            triangle(indices, i + 2, i, i + 3);
            triangle(indices, i, i + 1, i + 3);
        }
        break;
    default:
        vertices.resize(state.first);
    }
}

void normal(GLfloat x, GLfloat y, GLfloat z)
{
    state.normal[0] = x;
    state.normal[1] = y;
    state.normal[2] = z;
}

void texCoord(GLfloat s, GLfloat t)
{
    state.texCoord[0] = s;
    state.texCoord[1] = t;
}

// Only GL_MAP2_VERTEX_3 is kept.
void map2(GLenum target, GLfloat u1, GLfloat u2, GLint ustride, GLint uorder, GLfloat v1,
          GLfloat v2, GLint vstride, GLint vorder, const GLfloat* points)
{
    if (target != GL_MAP2_VERTEX_3 || uorder < 1 || uorder > maxOrder || vorder < 1 ||
        vorder > maxOrder || u1 == u2 || v1 == v2)
        return;
    Map2& map = state.map2;
    map = Map2{u1, u2, v1, v2, uorder, vorder, {}};
    for (int i = 0; i < uorder; i++)
        for (int j = 0; j < vorder; j++)
            for (int k = 0; k < 3; k++)
                map.points.push_back(points[i * ustride + j * vstride + k]);
}

void evalCoord2(GLfloat u, GLfloat v)
{
    const Map2& map = state.map2;
    if (!state.map2On || map.points.empty())
        return;
    double wu[maxOrder], wv[maxOrder], point[3] = {0.0, 0.0, 0.0};
    bernstein(map.uorder, (u - map.u1) / double(map.u2 - map.u1), wu);
    bernstein(map.vorder, (v - map.v1) / double(map.v2 - map.v1), wv);
    const double* p = map.points.data();
    for (int i = 0; i < map.uorder; i++)
        for (int j = 0; j < map.vorder; j++, p += 3)
            for (int k = 0; k < 3; k++)
                point[k] += wu[i] * wv[j] * p[k];
    vertex(float(point[0]), float(point[1]), float(point[2]));
}

void sphere(const Quadric& quadric, double radius, int slices, int stacks)
{
    drawQuadric(quadric, {'s', radius, 0.0, 0.0, slices, stacks, false},
                [&](Mesh& mesh) { sphereMesh(mesh, radius, slices, stacks); });
}

void cylinder(const Quadric& quadric, double base, double top, double height, int slices, int stacks)
{
    drawQuadric(quadric, {'c', base, top, height, slices, stacks, false},
                [&](Mesh& mesh) { cylinderMesh(mesh, base, top, height, slices, stacks); });
}

void disk(const Quadric& quadric, double inner, double outer, int slices, int loops)
{
    drawQuadric(quadric, {'d', inner, outer, 0.0, slices, loops, false},
                [&](Mesh& mesh) { diskMesh(mesh, inner, outer, slices, loops); });
}

// As libGLU: the matrix in double precision, multiplied in as floats.
void perspective(double fovy, double aspect, double zNear, double zFar)
{
    const double radians = fovy / 2 * pi / 180, depth = zFar - zNear, sine = std::sin(radians);
    if (depth == 0.0 || sine == 0.0 || aspect == 0.0)
        return;
    const double cotangent = std::cos(radians) / sine;
    const GLfloat m[16] = {float(cotangent / aspect), 0, 0, 0, 0, float(cotangent), 0, 0,
                           0, 0, float(-(zFar + zNear) / depth), -1, 0, 0, float(-2 * zNear * zFar / depth), 0};
    multMatrix(m);
}

void lookAt(double eyeX, double eyeY, double eyeZ, double centerX, double centerY, double centerZ,
            double upX, double upY, double upZ)
{
    const auto normalise = [](double* v) {
        const double length = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
        if (length > 0.0)
            for (int k = 0; k < 3; k++)
                v[k] /= length;
    };
    double forward[3] = {centerX - eyeX, centerY - eyeY, centerZ - eyeZ};
    normalise(forward);
    double side[3] = {forward[1] * upZ - forward[2] * upY, forward[2] * upX - forward[0] * upZ,
                      forward[0] * upY - forward[1] * upX};
    normalise(side);
    const double up[3] = {side[1] * forward[2] - side[2] * forward[1],
                          side[2] * forward[0] - side[0] * forward[2],
                          side[0] * forward[1] - side[1] * forward[0]};
    const GLfloat rotation[16] = {
        float(side[0]), float(up[0]), float(-forward[0]), 0.0f,
        float(side[1]), float(up[1]), float(-forward[1]), 0.0f,
        float(side[2]), float(up[2]), float(-forward[2]), 0.0f,
        0.0f, 0.0f, 0.0f, 1.0f};
    multMatrix(rotation);
    translate(float(-eyeX), float(-eyeY), float(-eyeZ));
    if (onModelview()) {
        state.view.back() = state.modelview.back();
        state.model.back() = Matrix();
    }
}

}  // namespace ffp
