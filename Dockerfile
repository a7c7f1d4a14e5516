# A container for batch conversion: the command line only, built into the
# project's Debian package by CPack, on Debian 12 with Ghostscript and the
# fonts documents need. tini runs as PID 1: it passes the engine's SIGTERM
# on to quillmark and reaps the workers and Ghostscripts a killed run leaves
# to it. See docs/batch.md.
#
#   docker build -t quillmark .
#   docker run --rm -v "$PWD:/data" quillmark -o /data/out /data/in/report.pdf

FROM debian:12 AS build
RUN apt-get update \
 && apt-get install -y --no-install-recommends build-essential cmake pkg-config dpkg-dev file \
      libpoppler-private-dev libpoppler-dev libfontconfig-dev libfreetype-dev \
 && rm -rf /var/lib/apt/lists/*
COPY . /src
RUN cmake -S /src -B /build -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
      -DQUILLMARK_BUILD_GUI=OFF -DQUILLMARK_BUILD_TESTS=OFF \
 && cmake --build /build -j"$(nproc)" \
 && cd /build && cpack -G DEB && mv /build/quillmark_*.deb /quillmark.deb

FROM debian:12-slim
COPY --from=build /quillmark.deb /tmp/quillmark.deb
RUN apt-get update \
 && apt-get install -y --no-install-recommends /tmp/quillmark.deb ghostscript tini \
      fonts-liberation fonts-urw-base35 fonts-crosextra-carlito fonts-crosextra-caladea fonts-dejavu-core \
 && rm -rf /var/lib/apt/lists/* /tmp/quillmark.deb \
 && useradd --create-home --uid 10001 quillmark
USER quillmark
WORKDIR /home/quillmark
ENTRYPOINT ["/usr/bin/tini", "--", "quillmark"]
CMD ["--help"]
