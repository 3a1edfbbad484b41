#pragma once

// Where one thumbnail was drawn in the last drawing pass (view coordinates, y downwards).
struct MyRect
{
    struct
    {
        struct
        {
            float x = 0;
            float y = 0;
        } origin;
        struct
        {
            float width = 0;
            float height = 0;
        } size;
    } rc;

    bool contains(float x, float y) const
    {
        return x >= rc.origin.x && x < rc.origin.x + rc.size.width && y >= rc.origin.y &&
               y < rc.origin.y + rc.size.height;
    }
};
