#include "analysis/LineFit.h"

void LineFit::reset()
{
    *this = LineFit();
}

void LineFit::add(double x, double y)
{
    m_solved = false;
    if (m_count++ == 0) {
        m_x0 = x;
        m_y0 = y;
        return;
    }
    const double dx = x - m_x0;
    const double dy = y - m_y0;
    m_sumDx += dx;
    m_sumDy += dy;
    m_sumDx2 += dx * dx;
    m_sumDy2 += dy * dy;
    m_sumDxDy += dx * dy;
}

void LineFit::fit(const double* xs, const double* ys, int n)
{
    reset();
    for (int i = 0; i < n; ++i)
        add(xs[i], ys[i]);
}

double LineFit::slope() const
{
    solve();
    return m_slope;
}

double LineFit::intercept() const
{
    solve();
    return m_intercept;
}

double LineFit::meanX() const
{
    return m_count ? m_sumDx / m_count + m_x0 : 0;
}

double LineFit::meanY() const
{
    return m_count ? m_sumDy / m_count + m_y0 : 0;
}

void LineFit::solve() const
{
    if (m_solved || m_count == 0)
        return;
    if (m_count == 1) {
        m_slope = 0;
        m_intercept = m_y0;
    } else {
        const double n = m_count;
        m_slope = (n * m_sumDxDy - m_sumDx * m_sumDy) / (n * m_sumDx2 - m_sumDx * m_sumDx);
        m_intercept = meanY() - meanX() * m_slope;
    }
    m_solved = true;
}
