# shellcheck shell=bash
# fixture_key OUT NAME COMMENT (sourced): the signify key pair
# OUT/NAME.{pub,sec}, new, or a copy of $FIXTURE_KEYS/NAME.{pub,sec} when
# that folder holds one: the web page's vectors are signed with the keys its
# test builds trust.
fixture_key() {
    if [[ -n ${FIXTURE_KEYS:-} && -s $FIXTURE_KEYS/$2.sec ]]; then
        cp "$FIXTURE_KEYS/$2.pub" "$FIXTURE_KEYS/$2.sec" "$1/"
    else
        signify-openbsd -G -n -p "$1/$2.pub" -s "$1/$2.sec" -c "$3"
    fi
}
