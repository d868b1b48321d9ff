#!/usr/bin/env bash
# Builds the libraries tirevo links beside Qt for Windows, each from Debian's
# own source: QCustomPlot (source package qcustomplot), libjpeg (libjpeg-turbo),
# GoogleTest (/usr/src/googletest from the googletest package), and for the
# MQTT module OpenSSL (openssl, its own mingw64 target) and the client
# library of mosquitto (mosquitto) with TLS against that OpenSSL.
# Called by scripts/setup-windows:  build-libs.sh QT_PREFIX LIBS_PREFIX WORK [NAME...]
# (NAME: googletest, libjpeg, qcustomplot, openssl or mosquitto; default all).
# Each one that is installed already is left as it is.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
qt=$1 prefix=$2 work=$3
shift 3
wanted=" ${*:-googletest libjpeg qcustomplot openssl mosquitto} "
toolchain=$(dirname "$qt")/mingw-w64-x86_64-posix.cmake
[ -r "$toolchain" ] || cp "$here/mingw-w64-x86_64-posix.cmake" "$toolchain"
jobs=$(nproc)
mkdir -p "$work" "$prefix"

source_of() {  # package -> unpacked folder
    local pkg=$1 dest=$work/$1-src version
    version=$(apt-cache showsrc "$pkg" | awk '/^Version:/ { print $2; exit }')
    mkdir -p "$dest"
    if ! ls -d "$dest"/*/debian >/dev/null 2>&1; then
        (cd "$dest" && apt-get source -qq "$pkg${version:+=$version}" >/dev/null 2>&1)
    fi
    dirname "$(ls -d "$dest"/*/debian | head -n 1)"
}

plain=(-G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release
       -DCMAKE_INSTALL_PREFIX="$prefix")
withqt=(-G Ninja -DCMAKE_TOOLCHAIN_FILE="$qt/lib/cmake/Qt6/qt.toolchain.cmake" -DQT_HOST_PATH=/usr
        -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake -DCMAKE_BUILD_TYPE=Release
        -DCMAKE_INSTALL_PREFIX="$prefix")

build() {  # name source-dir cmake-args...
    local name=$1 src=$2
    shift 2
    [ -f "$prefix/.$name" ] && return 0
    echo "setup-windows: building $name"
    rm -rf "$work/$name-build"
    cmake -S "$src" -B "$work/$name-build" "$@" >"$work/$name.log" 2>&1 &&
        cmake --build "$work/$name-build" -j"$jobs" >>"$work/$name.log" 2>&1 &&
        cmake --install "$work/$name-build" >>"$work/$name.log" 2>&1 ||
        { tail -n 30 "$work/$name.log"; return 1; }
    rm -rf "$work/$name-build"
    touch "$prefix/.$name"
}

if [[ $wanted == *" googletest "* ]]; then
    build googletest /usr/src/googletest "${plain[@]}" -DBUILD_SHARED_LIBS=OFF
fi
if [[ $wanted == *" libjpeg "* ]] && [ ! -f "$prefix/.libjpeg" ]; then
    build libjpeg "$(source_of libjpeg-turbo)" "${plain[@]}" -DWITH_SIMD=OFF -DWITH_TURBOJPEG=OFF \
        -DENABLE_STATIC=OFF -DCMAKE_INSTALL_DEFAULT_LIBDIR=lib
    rm -rf "$work/libjpeg-turbo-src"
fi
if [[ $wanted == *" qcustomplot "* ]] && [ ! -f "$prefix/.qcustomplot" ]; then
    build qcustomplot "$here/qcustomplot" "${withqt[@]}" -DQCUSTOMPLOT_SOURCE="$(source_of qcustomplot)"
    rm -rf "$work/qcustomplot-src"
fi
if [[ $wanted == *" openssl "* ]] && [ ! -f "$prefix/.openssl" ]; then
    # Only the two libraries (no programs, tests or manuals), and only what
    # an MQTT client's TLS needs: no engines or loadable providers, none of
    # the old ciphers. The folders compiled in (its configuration's) are
    # those a native MinGW OpenSSL has, which only an administrator can
    # write to: never a path of this machine, which Windows would read as
    # one on the current drive that any user may create.
    echo "setup-windows: building openssl"
    src=$(source_of openssl)
    rm -rf "$work/openssl-build"
    mkdir -p "$work/openssl-build"
    (cd "$work/openssl-build" &&
        "$src/Configure" mingw64 --cross-compile-prefix=x86_64-w64-mingw32- CC=gcc-posix \
            --prefix="$prefix" --libdir=lib \
            shared no-tests no-module no-legacy no-engine no-comp no-srp no-idea no-camellia no-seed \
            no-whirlpool no-mdc2 no-rc5 &&
        make -j"$jobs" build_libs OPENSSLDIR="C:/Program Files/Common Files/SSL" \
            ENGINESDIR="C:/Program Files/OpenSSL/lib/engines-3" MODULESDIR="C:/Program Files/OpenSSL/lib/ossl-modules" &&
        make install_dev install_runtime_libs) >"$work/openssl.log" 2>&1 ||
        { tail -n 30 "$work/openssl.log"; exit 1; }
    # Only the DLLs are linked against.
    rm -f "$prefix/lib/libssl.a" "$prefix/lib/libcrypto.a"
    rm -rf "$work/openssl-build" "$work/openssl-src"
    touch "$prefix/.openssl"
fi
if [[ $wanted == *" mosquitto "* ]] && [ ! -f "$prefix/.mosquitto" ]; then
    # The client library alone, with TLS and its threading (the MQTT
    # module's network thread publishes through it); no broker, clients,
    # plugins, C++ wrapper or manuals. Its CMake takes the threads of a
    # Windows build from a Visual C++ pthreads folder: MinGW has its own,
    # found as on any POSIX system.
    src=$(source_of mosquitto)
    sed -i '/^option(WITH_THREADING/,/^endif (WITH_THREADING)/ s/^\tif (WIN32)$/\tif (WIN32 AND NOT MINGW)/' \
        "$src/CMakeLists.txt"
    build mosquitto "$src" "${plain[@]}" -DWITH_BROKER=OFF -DWITH_APPS=OFF -DWITH_CLIENTS=OFF \
        -DWITH_PLUGINS=OFF -DDOCUMENTATION=OFF -DWITH_LIB_CPP=OFF -DWITH_CJSON=OFF -DWITH_STATIC_LIBRARIES=OFF \
        -DWITH_TLS=ON -DWITH_TLS_PSK=OFF -DWITH_SOCKS=OFF -DWITH_SRV=OFF -DWITH_THREADING=ON \
        -DOPENSSL_ROOT_DIR="$prefix" -DOPENSSL_INCLUDE_DIR="$prefix/include" \
        -DOPENSSL_SSL_LIBRARY="$prefix/lib/libssl.dll.a" -DOPENSSL_CRYPTO_LIBRARY="$prefix/lib/libcrypto.dll.a" \
        -DSSL_EAY="$prefix/lib/libssl.dll.a" -DLIB_EAY="$prefix/lib/libcrypto.dll.a"
    rm -rf "$work/mosquitto-src"
fi
